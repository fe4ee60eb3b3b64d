#pragma once

#include <functional>
#include <optional>

#include <QWidget>

#include "conversion.h"
#include "decay.h"
#include "handler_queue.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ControlFocus;

// The calculator's only window. The user names the practice, the radionuclide, the initial
// activity with its unit and the date of manufacture; the window shows the activity in TBq,
// decays it to the present moment and places the source in a security category.
//
// The handlers below are the only code that runs after start-up. Values follow when the focus
// leaves a box, never when an item is picked; the handlers hand results to each other through
// the boxes and the five values kept by the window.
class Form1 : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<dovrin::LocalTime()>;

    // clock gives the present local date and time; tests pass a fixed one.
    explicit Form1(Clock clock, QWidget* parent = nullptr);
    ~Form1() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void setTabOrder();
    void describeForScreenReaders();
    void bindEvents();

    // The handled events.
    void Form_Load();
    void Combo4_GotFocus();
    void Combo4_LostFocus();
    void Combo5_LostFocus();
    void Combo6_LostFocus();
    void Text7_LostFocus();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void Command6_Click();

    void focusMoved(QWidget* from, QWidget* to);
    void emptyBoxes();
    void showConversion(const dovrin::Conversion& conversion);
    void showCurrentActivity(const dovrin::CurrentActivity& current);
    void setDecayConstant(double perDay);
    std::optional<dovrin::Conversion> checkSourceInputs();
    std::nullopt_t reportMissing(QWidget* control, const QString& message);
    void showMessage(const QString& message);

    Clock clock_;
    HandlerQueue handlers_;
    ControlFocus* focus_ = nullptr;

    // Kept between events; empty until first assigned, and an empty value counts as 0; New
    // leaves them as they are.
    // No handler reads the first three; they are kept as part of the window's state.
    std::optional<double> enteredActivity;    // the typed activity, in the chosen unit
    std::optional<double> unitInBq;           // size of the chosen unit in Bq
    std::optional<double> initialActivityTBq; // initial activity in TBq, unrounded
    std::optional<double> shownActivityTBq;   // initial activity in TBq, as categorised
    std::optional<double> decayConstant;      // of the chosen radionuclide, per day

    // The controls, under the names that tests, automation and screen readers know them by.
    QGroupBox* Frame1 = nullptr;     // holds every control
    QGroupBox* Frame5 = nullptr;     // "Categorize the Radioactive Source ": buttons, categories
    QLabel* Label1 = nullptr;        // label of the practice box
    QLabel* Label2 = nullptr;        // label of the radionuclide box
    QLabel* Label3 = nullptr;        // label of the typed activity
    QLabel* Label4 = nullptr;        // label of the date of manufacture
    QLabel* Label5 = nullptr;        // label of the initial activity in TBq
    QLabel* Label6 = nullptr;        // label of the current activity in TBq
    QLabel* Label7 = nullptr;        // the date hint "mm/dd/yy"
    QComboBox* Combo4 = nullptr;     // the practice box
    QComboBox* Combo5 = nullptr;     // the radionuclide box
    QComboBox* Combo6 = nullptr;     // the unit box
    QLineEdit* Text4 = nullptr;      // hidden: decay constant, per day
    QLineEdit* Text5 = nullptr;      // initial activity as typed, in the chosen unit
    QLineEdit* Text6 = nullptr;      // initial activity in TBq
    QLineEdit* Text7 = nullptr;      // date of manufacture
    QLineEdit* Text8 = nullptr;      // category by initial activity
    QLineEdit* Text9 = nullptr;      // current activity in TBq
    QLineEdit* Text10 = nullptr;     // hidden: date of manufacture less now, in days
    QLineEdit* Text11 = nullptr;     // category by current activity
    QPushButton* Command2 = nullptr; // "Categorize by Initial Activity"
    QPushButton* Command3 = nullptr; // "Categorize by Current Activity"
    QPushButton* Command5 = nullptr; // "New ": empties the boxes
    QPushButton* Command6 = nullptr; // " Close ": ends the program
};
