#include "source.h"

namespace dovrin {

SourceResult evaluateSource(const SourceText& source, const Evaluation& evaluation) {
    (void)source;
    (void)evaluation;
    SourceResult result;
    result.note = "not evaluated yet";
    return result;
}

} // namespace dovrin
