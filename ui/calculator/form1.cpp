#include "form1.h"

#include <limits>

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "activity_units.h"
#include "categorise.h"
#include "control_focus.h"
#include "number_text.h"
#include "practice_catalogue.h"

using namespace dovrin;

namespace {

const QString messageTitle = QStringLiteral("Categorisation of Radioactive Sources");
const QString choosePractice = QStringLiteral("Please! Chose Typical sources and practices ");
const QString chooseRadionuclide = QStringLiteral("Please! Chose Typical radionuclides ");
const QString enterActivity = QStringLiteral("Please! Enter the activity ");
const QString selectUnit =
    QStringLiteral("Please! Select Unit of Activity of Radioactive Sources ");
const QString enterDate = QStringLiteral("Please! Enter date of Manufacture");

// Window geometry is given in twips; 15 twips make one device-independent pixel.
struct Twips {
    int left, top, width, height;
    QRect pixels() const { return {left / 15, top / 15, width / 15, height / 15}; }
};

QFont arial(qreal points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(true);
    return font;
}
const QFont& controlFont() {
    static const QFont font = arial(9, false);
    return font;
}
const QFont& resultFont() {
    static const QFont font = arial(9.75, true);
    return font;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

template <class Widget> Widget* place(QWidget* parent, const char* name, Twips geometry) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry.pixels());
    widget->setFont(controlFont());
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, Twips geometry, const char* caption,
                  const QColor& colour, Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignTop) {
    auto* label = place<QLabel>(parent, name, geometry);
    label->setText(QString::fromLatin1(caption));
    label->setAlignment(alignment);
    setColour(label, QPalette::WindowText, colour);
    return label;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, Twips geometry) {
    auto* box = place<QLineEdit>(parent, name, geometry);
    box->setMaxLength(std::numeric_limits<int>::max()); // no length limit
    return box;
}

// An editable drop-down box that never changes what the user typed: no completion (which
// would also fold letter case), and Enter does not add the text to the list.
QComboBox* makeComboBox(QWidget* parent, const char* name, Twips geometry) {
    auto* box = place<QComboBox>(parent, name, geometry);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setDuplicatesEnabled(true);
    box->setCompleter(nullptr);
    box->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, Twips geometry, const char* caption) {
    auto* button = place<QPushButton>(parent, name, geometry);
    button->setText(QString::fromLatin1(caption));
    button->setAutoDefault(false);
    return button;
}

// Appends an item at the end of the list and leaves the edit field as it was (a combo box
// would otherwise make the first item of an empty list current and show its text).
void appendItem(QComboBox* box, std::string_view item) {
    const QString text = box->currentText();
    box->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

std::string textOf(const QComboBox* box) {
    return box->currentText().toStdString();
}
std::string textOf(const QLineEdit* box) {
    return box->text().toStdString();
}
QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::chrono::year yearOf(LocalTime time) {
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(time)}.year();
}

} // namespace

Form1::Form1(Clock clock, QWidget* parent)
    : QWidget(parent)
    , clock_(std::move(clock)) {
    createControls();
    setTabOrder();
    Form_Load();
    bindEvents();
    Combo4->setFocus();
}

Form1::~Form1() {
    handlers_.stop();
}

void Form1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Dovrin Calculator "));
    setWindowIcon(QIcon(QStringLiteral(":/icons/dovrin-16.png")));
    setFixedSize(Twips{0, 0, 10125, 4845}.pixels().size());

    const QColor black(0, 0, 0);
    const QColor blue(0, 0, 255);
    const QColor red(255, 0, 0);
    const QColor buttonText = palette().color(QPalette::ButtonText);
    const QColor inactiveBorder = palette().color(QPalette::Window);
    const QColor buttonShadow = palette().color(QPalette::Dark);

    Frame1 = place<QGroupBox>(this, "Frame1", {120, 120, 9855, 4575});

    Label1 =
        makeLabel(Frame1, "Label1", {120, 480, 2175, 375}, "Typical sources / practices", black);
    Combo4 = makeComboBox(Frame1, "Combo4", {2400, 480, 7335, 345});
    Combo4->setToolTip(QStringLiteral("Slect Typical Sources or Practice"));

    Label2 = makeLabel(Frame1, "Label2", {120, 1080, 1935, 375}, "Typical radionuclides ", black);
    Combo5 = makeComboBox(Frame1, "Combo5", {2400, 1080, 1695, 345});
    Text10 = makeTextBox(Frame1, "Text10", {4920, 1080, 1815, 285});
    Text4 = makeTextBox(Frame1, "Text4", {7680, 1200, 1455, 285});
    Text10->hide();
    Text4->hide();

    Label3 = makeLabel(Frame1, "Label3", {240, 1680, 1815, 375}, "Initial Source Activity", black);
    Text5 = makeTextBox(Frame1, "Text5", {2400, 1680, 1695, 315});
    Text5->setToolTip(QStringLiteral("Enter Inital Source Activity"));
    Combo6 = makeComboBox(Frame1, "Combo6", {4200, 1680, 1335, 345});
    Combo6->setToolTip(QStringLiteral("Slect Unit"));
    Label5 = makeLabel(Frame1, "Label5", {5640, 1680, 2295, 375}, "Initial Source Activity (TBq)",
                       black);
    Text6 = makeTextBox(Frame1, "Text6", {8040, 1680, 1575, 330});
    setColour(Text6, QPalette::Base, inactiveBorder);

    Label4 = makeLabel(Frame1, "Label4", {240, 2160, 1815, 375}, "Date of Manufacture", buttonText);
    Text7 = makeTextBox(Frame1, "Text7", {2400, 2160, 1695, 315});
    Label7 = makeLabel(Frame1, "Label7", {4200, 2160, 975, 375}, "mm/dd/yy", blue,
                       Qt::AlignLeft | Qt::AlignTop);
    Label6 = makeLabel(Frame1, "Label6", {5520, 2160, 2415, 375}, " Current Source Activity (TBq)",
                       buttonText);
    Text9 = makeTextBox(Frame1, "Text9", {8040, 2160, 1575, 360});
    setColour(Text9, QPalette::Base, inactiveBorder);

    Frame5 = place<QGroupBox>(Frame1, "Frame5", {240, 2640, 9375, 1695});
    Frame5->setTitle(QStringLiteral("Categorize the Radioactive Source "));
    setColour(Frame5, QPalette::WindowText, red);

    Command2 =
        makeButton(Frame5, "Command2", {240, 480, 2655, 375}, "Categorize by Initial Activity  ");
    Text8 = makeTextBox(Frame5, "Text8", {3000, 480, 1455, 375});
    Command3 =
        makeButton(Frame5, "Command3", {4920, 480, 2655, 375}, "Categorize by Current Activity  ");
    Text11 = makeTextBox(Frame5, "Text11", {7680, 480, 1455, 375});
    Command5 = makeButton(Frame5, "Command5", {240, 1080, 4215, 375}, "New ");
    Command6 = makeButton(Frame5, "Command6", {4920, 1080, 4215, 375}, " Close ");
    for (QLineEdit* result : {Text8, Text11}) {
        result->setFont(resultFont());
        result->setAlignment(Qt::AlignCenter);
        setColour(result, QPalette::Text, red);
        setColour(result, QPalette::Base, buttonShadow);
    }

    // Screen readers name an input by the label beside it.
    Label1->setBuddy(Combo4);
    Label2->setBuddy(Combo5);
    Label3->setBuddy(Text5);
    Label5->setBuddy(Text6);
    Label4->setBuddy(Text7);
    Label6->setBuddy(Text9);
    describeForScreenReaders();
}

// Names that a label's stray blanks would spoil or that no label gives, and what each box and
// button is for. A combo box's edit field carries the combo box's name.
void Form1::describeForScreenReaders() {
    const QString category = QStringLiteral("Security category 1 to 5, Exempted or Not assigned");
    const struct {
        QWidget* control;
        QString name;
        QString description;
    } descriptions[] = {
        {Combo4, "Typical sources / practices",
         "The practice in which the source is used; leaving the box offers its radionuclides"},
        {Combo5, "Typical radionuclides", "Radionuclides of the chosen practice"},
        {Text5, {}, "The activity as a number, in the unit chosen in the next box"},
        {Combo6, "Unit of the initial activity", "uCi, mCi, Ci, kCi, Bq, kBq, MBq, GBq or TBq"},
        {Text6, {}, "The initial activity in TBq; its tooltip gives it in GBq, MBq, kBq and Bq"},
        {Text7, {}, "Month, day and year: mm/dd/yy"},
        {Text9, "Current Source Activity (TBq)",
         "The current activity in TBq; its tooltip gives it in GBq, MBq, kBq and Bq"},
        {Text8, "Category by initial activity", category},
        {Text11, "Category by current activity", category},
        {Command2, {}, "Places the source in its security category by its initial activity"},
        {Command3,
         {},
         "Places the source in its security category by its activity decayed to the present "
         "moment"},
        {Command5, {}, "Empties every box for the next source"},
        {Command6, {}, "Ends the program"},
    };
    for (const auto& [control, name, description] : descriptions) {
        if (!name.isEmpty())
            control->setAccessibleName(name);
        control->setAccessibleDescription(description);
        if (auto* box = qobject_cast<QComboBox*>(control))
            box->lineEdit()->setAccessibleName(name);
    }
}

void Form1::setTabOrder() {
    const QList<QWidget*> order{Combo4,   Combo5,   Text5,    Combo6,   Text6, Text7, Text9,
                                Command2, Command3, Command5, Command6, Text8, Text11};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    focus_ = new ControlFocus(order, this);
}

void Form1::bindEvents() {
    connect(focus_, &ControlFocus::moved, this, &Form1::focusMoved);
    const auto onClick = [this](QPushButton* button, void (Form1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { handlers_.post([this, handler] { (this->*handler)(); }); });
    };
    onClick(Command2, &Form1::Command2_Click);
    onClick(Command3, &Form1::Command3_Click);
    onClick(Command5, &Form1::Command5_Click);
    onClick(Command6, &Form1::Command6_Click);
}

// The box being left runs its handler first, then the box being entered.
void Form1::focusMoved(QWidget* from, QWidget* to) {
    const std::pair<QWidget*, void (Form1::*)()> lostFocus[] = {
        {Combo4, &Form1::Combo4_LostFocus},
        {Combo5, &Form1::Combo5_LostFocus},
        {Combo6, &Form1::Combo6_LostFocus},
        {Text7, &Form1::Text7_LostFocus},
    };
    for (const auto& [control, handler] : lostFocus)
        if (from == control)
            handlers_.post([this, handler = handler] { (this->*handler)(); });
    if (to == Combo4)
        handlers_.post([this] { Combo4_GotFocus(); });
}

void Form1::closeEvent(QCloseEvent* event) {
    handlers_.stop(); // nothing runs after the end
    QWidget::closeEvent(event);
}

// Start-up: the two fixed lists, and every box empty.
void Form1::Form_Load() {
    for (const Practice& practice : practiceCatalogue)
        appendItem(Combo4, practice.name);
    for (const ActivityUnit& unit : activityUnits)
        appendItem(Combo6, unit.name);
    emptyBoxes();
}

// Entering the practice box empties the radionuclide box, list and edit field.
void Form1::Combo4_GotFocus() {
    Combo5->clear();
    Combo5->clearEditText();
}

// Leaving the practice box offers the radionuclides of the practice named exactly.
void Form1::Combo4_LostFocus() {
    const std::string practice = textOf(Combo4);
    for (const Practice& entry : practiceCatalogue)
        if (entry.name == practice)
            for (std::string_view radionuclide : entry.radionuclides)
                appendItem(Combo5, radionuclide);
}

// Leaving the radionuclide box takes its decay constant; an unknown name changes nothing.
void Form1::Combo5_LostFocus() {
    if (const auto constant = decayConstantOf(textOf(Combo5)))
        setDecayConstant(*constant);
}

void Form1::Combo6_LostFocus() {
    if (const auto conversion = convertActivity(textOf(Text5), textOf(Combo6)))
        showConversion(*conversion);
}

// Leaving the date box shows the activity of Text6 decayed to the present moment.
void Form1::Text7_LostFocus() {
    const double initial = readNumber(textOf(Text6)).value;
    if (Text7->text().isEmpty()) {
        showMessage(enterDate);
        Text7->setFocus();
    }
    const LocalTime now = clock_();
    const auto manufactured = readDate(textOf(Text7), yearOf(now));
    if (!manufactured)
        return;
    const double elapsed = elapsedDays(*manufactured, now);
    Text10->setText(qText(numberText(elapsed)));
    if (const auto current = currentActivity(initial, decayConstant.value_or(0), elapsed))
        showCurrentActivity(*current);
}

void Form1::Command2_Click() {
    const auto source = checkSourceInputs();
    if (!source)
        return;
    showConversion(*source);
    if (const auto label = categoriseActivity(textOf(Combo5), shownActivityTBq.value_or(0)))
        Text8->setText(qText(*label));
}

// The category by the activity at this moment, decayed from the full-precision initial activity
// of the source on the screen, so that both buttons agree on the same source.
void Form1::Command3_Click() {
    const auto source = checkSourceInputs();
    if (!source)
        return;
    const LocalTime now = clock_();
    const auto manufactured = readDate(textOf(Text7), yearOf(now));
    // Every radionuclide with thresholds has a decay constant.
    const double constant = decayConstantOf(textOf(Combo5)).value_or(0);
    const double elapsed = manufactured ? elapsedDays(*manufactured, now) : 0;
    const auto current =
        manufactured ? currentActivity(source->shownActivityTBq, constant, elapsed) : std::nullopt;
    if (!current) { // no date, or one so far ahead that the decay overflows
        reportMissing(Text7, enterDate);
        return;
    }
    showConversion(*source);
    setDecayConstant(constant);
    Text10->setText(qText(numberText(elapsed)));
    showCurrentActivity(*current);
    if (const auto label = categoriseActivity(textOf(Combo5), current->tbq))
        Text11->setText(qText(*label));
}

void Form1::Command5_Click() {
    emptyBoxes();
}

void Form1::Command6_Click() {
    close();
}

void Form1::emptyBoxes() {
    for (QComboBox* box : {Combo4, Combo5, Combo6})
        box->setEditText(QString());
    for (QLineEdit* box : {Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11})
        box->clear();
}

void Form1::showConversion(const Conversion& conversion) {
    unitInBq = conversion.unitInBq;
    enteredActivity = conversion.enteredActivity;
    initialActivityTBq = conversion.initialActivityTBq;
    shownActivityTBq = conversion.shownActivityTBq;
    Text6->setText(qText(conversion.shownText));
    Text6->setToolTip(qText(conversion.tooltip));
}

void Form1::showCurrentActivity(const CurrentActivity& current) {
    Text9->setText(qText(current.shownText));
    Text9->setToolTip(qText(current.tooltip));
}

void Form1::setDecayConstant(double perDay) {
    decayConstant = perDay;
    Text4->setText(qText(numberText(perDay)));
}

// The checks of both categorisation buttons. The first input found missing or unusable is
// reported and gets the focus; otherwise the result is the conversion of the activity and the
// unit on the screen.
std::optional<Conversion> Form1::checkSourceInputs() {
    if (Combo4->currentText().isEmpty())
        return reportMissing(Combo4, choosePractice);
    if (!hasThresholds(textOf(Combo5)))
        return reportMissing(Combo5, chooseRadionuclide);
    if (!readActivity(textOf(Text5)))
        return reportMissing(Text5, enterActivity);
    if (!unitSizeInBq(textOf(Combo6)))
        return reportMissing(Combo6, selectUnit);
    auto conversion = convertActivity(textOf(Text5), textOf(Combo6));
    if (!conversion) // the activity is too large once converted to becquerel
        reportMissing(Text5, enterActivity);
    return conversion;
}

// Reports the input, moves the focus to it, and gives the checks' answer: no source.
std::nullopt_t Form1::reportMissing(QWidget* control, const QString& message) {
    showMessage(message);
    control->setFocus();
    return std::nullopt;
}

void Form1::showMessage(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, messageTitle, message, QMessageBox::Ok, this);
    box.exec();
    activateWindow(); // back to this window, where the handler moves the focus next
}
