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

    // Kept between events; empty until first assigned, and an empty value counts as 0.
    std::optional<double> enteredActivity;
    std::optional<double> unitInBq;
    std::optional<double> initialActivityTBq;
    std::optional<double> shownActivityTBq;
    std::optional<double> decayConstant;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* Combo4 = nullptr;
    QComboBox* Combo5 = nullptr;
    QComboBox* Combo6 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QLineEdit* Text8 = nullptr;
    QLineEdit* Text9 = nullptr;
    QLineEdit* Text10 = nullptr;
    QLineEdit* Text11 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
};
