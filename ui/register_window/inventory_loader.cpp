#include "inventory_loader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>

#include <QMetaObject>

#include "locations.h"

namespace dovrin {

namespace {

// The first batch is small so that the first rows show at once; later ones grow to this.
constexpr std::size_t firstBatchRows = 256;
constexpr std::size_t largestBatchRows = 65536;
// Rows looked at for dates written with slashes before the first batch is evaluated.
constexpr std::size_t rowsCheckedForSlashDates = 1000;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

QStringList qtTexts(std::span<const std::string_view> fields) {
    QStringList list;
    for (const std::string_view field : fields)
        list << QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
    return list;
}

// The first record of the file, as the reader splits it.
QStringList firstRecord(const std::string& path, const InventoryOptions& options) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return {};
    csv::FileSource source(file.get());
    csv::Reader reader(source, options.separator);
    const auto record = reader.next();
    return record ? qtTexts(record->fields) : QStringList{};
}

// Numbers the locations in the order of their first appearance.
class LocationNumbers {
public:
    std::uint32_t number(std::string_view location, std::vector<std::string>& firstSeen) {
        if (const auto found = numbers_.find(std::string(location)); found != numbers_.end())
            return found->second;
        const auto number = static_cast<std::uint32_t>(numbers_.size());
        numbers_.emplace(location, number);
        firstSeen.emplace_back(location);
        return number;
    }

private:
    std::unordered_map<std::string, std::uint32_t> numbers_;
};

} // namespace

InventoryLoader::InventoryLoader(QObject* parent)
    : QObject(parent) {}

InventoryLoader::~InventoryLoader() {
    cancel();
}

void InventoryLoader::cancel() {
    ++job_;
    busy_ = false;
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

template <class Call> void InventoryLoader::deliver(std::uint64_t job, Call call) {
    QMetaObject::invokeMethod(
        this,
        [this, job, call = std::move(call)]() mutable {
            if (job == job_)
                call();
        },
        Qt::QueuedConnection);
}

template <class Work> void InventoryLoader::start(Work work) {
    cancel();
    busy_ = true;
    thread_ = std::jthread(
        [this, job = job_, work = std::move(work)](std::stop_token stop) { work(job, stop); });
}

void InventoryLoader::load(LoadRequest request) {
    start([this, request = std::move(request)](std::uint64_t job, std::stop_token stop) {
        const auto fail = [&](QString reason) {
            deliver(job, [this, reason] {
                busy_ = false;
                emit failed(reason);
            });
        };
        std::error_code sizeError;
        const auto size = std::filesystem::file_size(request.path, sizeError);
        const std::uint64_t fileSize = sizeError ? 0 : size;
        const File file(std::fopen(request.path.c_str(), "rb"));
        if (!file)
            return fail(QStringLiteral("It cannot be opened: %1.")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        csv::FileSource source(file.get());
        InventoryReader reader(source, request.options);
        if (!reader.readHeader()) {
            const QString reason = QString::fromStdString(reader.error());
            const QStringList header = firstRecord(request.path, request.options);
            if (header.isEmpty())
                return fail(reason);
            return deliver(job, [this, reason, header] {
                busy_ = false;
                emit columnsNeeded(reason, header);
            });
        }

        auto texts = std::make_shared<InventoryTexts>();
        texts->path = request.path;
        for (const std::string_view field : reader.header())
            texts->header.emplace_back(field);
        texts->columns = reader.columns();
        texts->options = request.options;
        texts->options.separator = reader.separator();
        const auto manufactured = texts->columns[Column::manufactured];

        LocationTotals totals;
        LocationNumbers locationNumbers;
        NotePool notes;
        std::size_t notesSent = 1;
        std::uint32_t rowNumber = 0;
        std::size_t batchRows = firstBatchRows;
        auto batch = std::make_shared<LoadedBatch>();
        bool checkingDates = request.askAboutSlashDates && manufactured.has_value();
        bool announced = false;
        const auto send = [&] {
            if (!announced) {
                announced = true;
                deliver(job, [this, texts] { emit started(texts); });
            }
            for (; notesSent < notes.size(); ++notesSent)
                batch->notes.push_back(notes[static_cast<std::uint32_t>(notesSent)]);
            batch->bytesRead = reader.bytesConsumed();
            batch->fileSize = fileSize;
            deliver(job, [this, batch] {
                emit progress(batch->bytesRead, batch->fileSize);
                emit batchRead(batch);
            });
            batch = std::make_shared<LoadedBatch>();
            batchRows = std::min(batchRows * 4, largestBatchRows);
        };

        InventoryRow row;
        while (!stop.stop_requested() && reader.next(row)) {
            if (checkingDates) {
                if (row.source.manufactured.find('/') != std::string_view::npos) {
                    const QStringList header = qtTexts(reader.header());
                    return deliver(job, [this, header] {
                        busy_ = false;
                        emit dateOrderNeeded(header);
                    });
                }
                checkingDates = rowNumber < rowsCheckedForSlashDates;
            }
            const SourceResult result = evaluateRow(row, request.evaluation);
            totals.add(row.location, result);
            if (!row.problem.empty())
                batch->unreadable.push_back(rowNumber);
            RowPlace place;
            place.offset = static_cast<std::uint32_t>(batch->block.size());
            place.location = locationNumbers.number(row.location, batch->locations);
            packFields(batch->block, {row.fields.begin(), row.fields.end()});
            batch->rows.push_back(place);
            batch->results.push_back(storeResult(result, notes));
            ++rowNumber;
            if (batch->rows.size() >= batchRows && !checkingDates)
                send();
        }
        if (stop.stop_requested())
            return;
        const std::string readError = reader.readError();
        if (!readError.empty())
            return fail(QStringLiteral("It could not be read to its end: %1.")
                            .arg(QString::fromStdString(readError)));
        send();
        deliver(job, [this, locations = totals.locations()] {
            busy_ = false;
            emit finished(locations);
        });
    });
}

void InventoryLoader::reevaluate(std::shared_ptr<const InventoryTexts> texts,
                                 std::shared_ptr<const InventoryResults> current,
                                 Evaluation evaluation) {
    start([this, texts, current, evaluation](std::uint64_t job, std::stop_token stop) {
        auto results = std::make_shared<InventoryResults>();
        results->evaluation = evaluation;
        LocationTotals totals;
        const ColumnMap& columns = texts->columns;
        const auto text = [&](const PackedFields& fields, Column column) {
            const auto index = columns[column];
            return index ? fields[*index] : std::string_view{};
        };
        auto unreadable = texts->unreadable.begin();
        InventoryRow row;
        const std::size_t rowCount = texts->rows.size();
        for (std::size_t index = 0; index < rowCount; ++index) {
            if (stop.stop_requested())
                return;
            const PackedFields fields = texts->fields(index);
            const std::string_view location = text(fields, Column::location);
            if (unreadable != texts->unreadable.end() && *unreadable == index) {
                ++unreadable;
                const StoredResult& kept = current->rows[index];
                const SourceResult result = restoreResult(kept, current->notes[kept.note]);
                totals.add(location, result);
                results->rows.push_back(storeResult(result, results->notes));
                ++results->errors;
                continue;
            }
            const std::vector<std::string_view> all = fields.all();
            row.fields = all;
            row.source = {text(fields, Column::radionuclide), text(fields, Column::activity),
                          text(fields, Column::unit), text(fields, Column::manufactured)};
            row.location = location;
            row.id = text(fields, Column::id);
            const SourceResult result = evaluateRow(row, evaluation);
            totals.add(location, result);
            results->rows.push_back(storeResult(result, results->notes));
            results->errors += result.categorised ? 0 : 1;
            if (index % 65536 == 0)
                deliver(job, [this, index, rowCount] { emit progress(index, rowCount); });
        }
        results->locations = totals.locations();
        deliver(job, [this, results] {
            busy_ = false;
            emit reevaluated(results);
        });
    });
}

} // namespace dovrin
