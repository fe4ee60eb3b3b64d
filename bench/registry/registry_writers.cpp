// Records receipts into registers at once, one writer thread per target (a register file or a
// registry's address), and prints the events per second of them all (bench/registry.sh; not a
// test).
//
// Usage: registry_writers EVENTS PER_WRITE TARGET...
//   each writer records EVENTS receipts of its own sources, PER_WRITE in each write

#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "postgres_store.h"

namespace {

using namespace dovrin::store;
using namespace std::chrono;

// A few radionuclides and units, so that the as-of inventory evaluates sources of every kind.
constexpr std::string_view radionuclides[] = {"Co-60",  "Cs-137", "Ir-192",
                                              "Am-241", "Sr-90",  "Se-75"};
constexpr std::string_view units[] = {"GBq", "TBq", "Ci", "mCi"};

Event receipt(std::size_t writer, std::size_t index) {
    Event event;
    event.source = "W" + std::to_string(writer) + "-" + std::to_string(index);
    event.kind = Kind::receive;
    event.on = 2025y / 1 / 2;
    event.by = "bench";
    event[Field::radionuclide] = radionuclides[index % std::size(radionuclides)];
    event[Field::activity] = std::to_string(1 + index % 997);
    event[Field::unit] = units[index % std::size(units)];
    event[Field::manufactured] = "2024-06-01";
    event[Field::location] = "room " + std::to_string(index % 50);
    return event;
}

// One writer's receipts; empty when all landed, else why not.
std::string write(const std::string& target, std::size_t writer, std::size_t events,
                  std::size_t perWrite) {
    const Opening opening = openStore(target, Access::write);
    if (!opening.store)
        return opening.error;
    const auto now = floor<seconds>(system_clock::now());
    for (std::size_t done = 0; done < events;) {
        const auto transaction = opening.store->beginWrite(now);
        if (!transaction)
            return opening.store->error();
        for (std::size_t i = 0; i < perWrite && done < events; ++i, ++done) {
            Event event = receipt(writer, done);
            if (!transaction->append(event))
                return transaction->error();
        }
        if (!transaction->commit())
            return transaction->error();
    }
    return {};
}

std::size_t count(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.size() < 3 || count(words[0]) == 0 || count(words[1]) == 0) {
        std::fputs("usage: registry_writers EVENTS PER_WRITE TARGET...\n", stderr);
        return 2;
    }
    const std::size_t events = count(words[0]);
    const std::size_t perWrite = count(words[1]);
    const std::vector<std::string> targets(words.begin() + 2, words.end());
    std::vector<std::string> problems(targets.size());
    const auto start = steady_clock::now();
    std::vector<std::thread> writers;
    for (std::size_t i = 0; i < targets.size(); ++i)
        writers.emplace_back([&, i] { problems[i] = write(targets[i], i, events, perWrite); });
    for (std::thread& writer : writers)
        writer.join();
    const double seconds = duration<double>(steady_clock::now() - start).count();
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (!problems[i].empty()) {
            std::fprintf(stderr, "writer %zu: %s\n", i, problems[i].c_str());
            return 1;
        }
    std::printf("%.1f\n", static_cast<double>(events * targets.size()) / seconds);
    return 0;
}
