#include "registry_commands.h"

#include <algorithm>
#include <array>
#include <string>

#include "calendar.h"
#include "number_text.h"
#include "postgres_store.h"
#include "store_words.h"

namespace dovrin {

namespace {

using namespace store_words;

constexpr std::array<std::string_view, 3> ownerCommands{"init", "add-holder", "add-inspector"};

// The address, checked to be one before anything connects.
std::string addressProblem(const Words& words, std::size_t operands, std::string_view usage) {
    if (words.operands.size() != operands)
        return "registry " + std::string(usage);
    if (!store::isRegistryAddress(words.operands[0]))
        return store::shownLocation(words.operands[0]) +
               " is not a registry's address (postgresql://..., postgres://... or service=NAME)";
    return {};
}

// registry init URI
int init(const Words& words, std::FILE* standardOutput, std::FILE* standardError, LocalTime now) {
    if (std::string why = unknownOption(words, {}); !why.empty())
        return refuse(standardError, why);
    if (std::string why = addressProblem(words, 1, "init URI"); !why.empty())
        return refuse(standardError, why);
    if (std::string why = store::createRegistry(std::string(words.operands[0]), universalTime(now));
        !why.empty())
        return refuse(standardError, why);
    std::fputs("registry made: its owner adds holders (registry add-holder) and inspectors "
               "(registry add-inspector)\n",
               standardOutput);
    return 0;
}

// registry add-holder URI NAME --role ROLE [--licence TEXT]
int addHolder(const Words& words, std::FILE* standardOutput, std::FILE* standardError,
              LocalTime now) {
    if (std::string why = unknownOption(words, {"--role", "--licence"}); !why.empty())
        return refuse(standardError, why);
    if (std::string why = addressProblem(words, 2, "add-holder URI NAME --role ROLE"); !why.empty())
        return refuse(standardError, why);
    const std::string name(trimBlanks(words.operands[1]));
    const std::string role(words.option("--role").value_or(""));
    if (name.empty())
        return refuse(standardError, "add-holder needs the holder's name");
    if (role.empty())
        return refuse(standardError,
                      "add-holder needs the database role that writes for the holder (--role "
                      "ROLE)");
    const store::RegistryHolder holder{
        role, {name, std::string(trimBlanks(words.option("--licence").value_or("")))}};
    if (std::string why =
            store::addRegistryHolder(std::string(words.operands[0]), holder, universalTime(now));
        !why.empty())
        return refuse(standardError, why);
    std::fprintf(standardOutput, "holder %s added: the role %s records its events\n", name.c_str(),
                 role.c_str());
    return 0;
}

// registry add-inspector URI ROLE
int addInspector(const Words& words, std::FILE* standardOutput, std::FILE* standardError) {
    if (std::string why = unknownOption(words, {}); !why.empty())
        return refuse(standardError, why);
    if (std::string why = addressProblem(words, 2, "add-inspector URI ROLE"); !why.empty())
        return refuse(standardError, why);
    const std::string role(words.operands[1]);
    if (std::string why = store::addRegistryInspector(std::string(words.operands[0]), role);
        !why.empty())
        return refuse(standardError, why);
    std::fprintf(standardOutput, "inspector %s added: it reads every holder's events\n",
                 role.c_str());
    return 0;
}

} // namespace

bool isRegistryOwnerCommand(std::span<const std::string_view> words) {
    return words.size() >= 2 && words[0] == "registry" &&
           std::ranges::find(ownerCommands, words[1]) != ownerCommands.end();
}

int runRegistryOwnerCommand(std::span<const std::string_view> words, std::FILE* standardOutput,
                            std::FILE* standardError, LocalTime now) {
    const std::string_view command = words.front();
    const Words read = readWords(words.subspan(1), {});
    if (!read.error.empty())
        return refuse(standardError, read.error);
    if (command == "init")
        return init(read, standardOutput, standardError, now);
    if (command == "add-holder")
        return addHolder(read, standardOutput, standardError, now);
    return addInspector(read, standardOutput, standardError);
}

} // namespace dovrin
