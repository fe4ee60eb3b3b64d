#pragma once

// The register's window: opens an inventory, shows every source's category and each location's
// aggregate at an as-of date, draws the decay of a source and the locations' A/D, and exports
// the results as the command line writes them, or as a report for an inspector.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QMainWindow>

#include "open_options_dialog.h"
#include "report.h"
#include "store.h"
#include "stored_inventory.h"
#include "table_columns.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QLayout;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSplitter;
class QTableView;
class QTabWidget;

namespace dovrin {

class HistoryPane;
class InventoryLoader;
class LocationsModel;
class SourcesFilter;
class SourcesModel;
class DecayChart;
class LocationsChart;
struct LoadedBatch;

class RegisterWindow : public QMainWindow {
    Q_OBJECT
public:
    using Clock = std::function<LocalTime()>;

    // clock gives the present local date and time; tests pass a fixed one.
    explicit RegisterWindow(Clock clock, QWidget* parent = nullptr);
    ~RegisterWindow() override;

    // Opens an inventory in the background; the window keeps what it shows until the file's
    // header has been read. A workbook of several sheets first asks which one to read.
    void open(const QString& path);
    // Writes the results as the command line does, or the report, in the background.
    void exportCsv(const QString& path);
    void exportReport(const QString& path);

    // The moment at which the sources are evaluated: the present moment when the as-of date is
    // today, else the start of that day, as the command line's --as-of reads a date.
    LocalTime asOfMoment() const;

    bool loading() const;
    // Whether what is open is a kept register rather than an inventory file.
    bool registerOpen() const { return registerOpen_; }
    // Makes a new register at path for the holder, then opens it; false, after saying why, when
    // it cannot be made.
    bool newRegister(const QString& path, const QString& holder, const QString& licence);
    // Reads the open register or inventory again, as another window may have recorded events.
    void reload();
    // Shows what importing the inventory into the open register would record, and records it
    // on Commit.
    void importInventory(const QString& inventory);
    // Writes the annual inventory of the year as a PDF: the register read again as of its 31
    // December, then the report; exported() says when it is written. With no path, each of
    // these reports is printed instead, on the printer chosen, as the same pages as its PDF.
    void exportAnnualInventory(int year, const QString& path);
    // Write the transactions of a period, or the record of one source, as a PDF; exported()
    // says whether it was written.
    void exportTransactions(std::chrono::year_month_day from, std::chrono::year_month_day to,
                            const QString& path);
    void exportSourceRecord(const std::string& source, const QString& path);
    // The moment the register is shown as recorded at, from the "as recorded on" box; none for
    // now (an empty box).
    std::optional<std::chrono::sys_seconds> knownAt() const { return knownAt_; }
    QString inventoryPath() const { return path_; }
    // Whether the locations pane shows the US NRC's sums of fractions.
    bool nrcShown() const;

signals:
    void inventoryLoaded(); // every row read and evaluated
    void eventRecorded(quint64 seq);
    void inventoryReevaluated(); // at a new as-of date
    void openFailed(QString reason);
    void exported(QString path, bool written);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // register_window.cpp: the window's actions, and opening and showing what is open.
    void createActions();
    static QString aboutText();
    void bindLoader();
    // The sheet to read of a workbook: empty for the first (or a file of another kind); none
    // when the question was cancelled or the workbook cannot be read, which then fails.
    std::optional<std::string> chooseSheet(const QString& path);
    void startLoad(const QString& path, const OpenOptions& options, bool askAboutSlashDates);
    void askOptions(const QString& reason, const QStringList& header);
    void keepBatch(LoadedBatch& batch);
    void loadFinished(std::vector<LocationTotal> locations);
    void cancelWork();
    void clearInventory();
    void asOfChanged();
    void locationSelected();
    void sourceSelected();
    void showCounts();
    void showProgress(std::uint64_t done, std::uint64_t total);
    void endProgress();
    void askAndOpenRegistry();
    void fail(const QString& path, const QString& reason);

    // window_controls.cpp: the filters, tables, pictures and status bar.
    void createControls();
    void createStatusBar();
    void showNrcColumns(bool shown);
    // A register's table shows each source's categories beside what identifies it (id,
    // radionuclide, activity, unit, date, location); the rest of its record follows the results.
    void putRecordColumnsLast();
    void fitTable(QTableView& view, const ColumnWidths& widths);
    void keepResizedColumns(QTableView& view, ColumnWidths& widths);

    // register_keeping.cpp: the register's own actions: New Register, the Record menu, Reload,
    // Import, the History pane and the "as recorded on" moment.
    void createRegisterActions(QMenu* file, QMenu* view);
    void createKnownAtBox(QWidget* parent, QLayout* layout);
    void chooseAndMakeRegister();
    void openRecordDialog(store::Kind kind);
    void knownAtChanged();
    void updateRegisterActions();
    void showTitle();
    void showHistory();
    void showChanges();
    void chooseAndImport();
    bool showRecorded(const store::Event& event, const store::Head& head);
    // The selected source's id, when the open register's table has a selected row.
    std::optional<std::string> selectedSourceId() const;
    void selectSource(const std::string& id);

    // window_exports.cpp: the results, the report and the register's reports.
    void setExportsEnabled(bool enabled);
    void chooseAndExportCsv();
    void chooseAndExportReport();
    void print();
    std::vector<int> hiddenLocationColumns() const;
    std::optional<int> chooseAnnualYear(); // none when cancelled
    void chooseAndExportAnnual();
    void createPrintRegisterMenu(QMenu* file);
    void writeAnnualInventory();
    void chooseAndExportTransactions();
    void chooseAndExportSourceRecord();
    void writeRegisterReport(const std::optional<Report>& report, const QString& error,
                             const QString& path);
    // Prints the report on the printer chosen in the print dialog, on the report's paper;
    // whether it was printed.
    bool printOnChosenPrinter(const Report& report, const QString& name);
    int lastEndedYear() const; // by the window's clock

    // window_settings.cpp, recent_files.cpp: what is remembered between runs.
    void readSettings();
    void writeSettings();
    void rememberRecent(const QString& path);
    void fillRecentMenu();

    Clock clock_;
    QString path_;        // the inventory shown, or the one being opened
    QString pendingPath_; // the inventory being opened, until its header is read
    OpenOptions pendingOptions_;
    bool pendingAsk_ = true;
    // What runs in the background: Cancel stops a load or a new as-of date, not an export.
    enum class Work { idle, loading, reevaluating } work_ = Work::idle;
    // The rows of the inventory being read that are no sources, as the summary counts them.
    std::uint64_t blankRowsSkipped_ = 0;
    std::uint64_t totalsRowsSkipped_ = 0;
    bool partShown_ = false; // rows of a file still loading are shown

    InventoryLoader* loader_;
    SourcesModel* sources_;
    SourcesFilter* sourcesFilter_;
    LocationsModel* locations_;
    QSortFilterProxyModel* locationsFilter_;

    QAction* openAction_;
    QMenu* recentMenu_;
    QAction* exportCsvAction_;
    QAction* exportReportAction_;
    QAction* printAction_;
    QAction* quitAction_;
    QAction* newRegisterAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* changesAction_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* annualAction_ = nullptr;
    QAction* transactionsAction_ = nullptr;
    QAction* sourceRecordAction_ = nullptr;
    QMenu* printRegisterMenu_ = nullptr; // the register's reports, to print
    // The annual inventory waiting for the register to be read as of its 31 December.
    struct AnnualInventory {
        int year = 0;
        QString path;
    };
    std::optional<AnnualInventory> pendingAnnual_;
    QMenu* recordMenu_ = nullptr;
    std::vector<std::pair<store::Kind, QAction*>> recordActions_;
    QDockWidget* historyDock_ = nullptr;
    HistoryPane* historyPane_ = nullptr;
    QLineEdit* knownAtBox_ = nullptr;
    std::optional<std::chrono::sys_seconds> knownAt_;
    bool registerOpen_ = false;
    QString recordedBy_;   // remembered from one record dialog to the next
    std::string reselect_; // the source to select again once a register is read again

    QDateEdit* asOfBox_;
    QComboBox* categoryBox_;
    QComboBox* dueBox_;
    QLineEdit* findBox_;
    QPushButton* allLocationsButton_;
    QCheckBox* nrcBox_;
    QTableView* sourcesView_;
    QTableView* locationsView_;
    QSplitter* mainSplitter_;
    QSplitter* lowerSplitter_;
    // The widths the person gave columns, under their headings, also of columns not shown.
    ColumnWidths sourcesWidths_;
    ColumnWidths locationsWidths_;
    bool fittingColumns_ = false;
    QTabWidget* chartTabs_;
    DecayChart* decayChart_;
    LocationsChart* locationsChart_;
    QLabel* countsLabel_;
    QProgressBar* progressBar_;
    QPushButton* cancelButton_;
};

} // namespace dovrin
