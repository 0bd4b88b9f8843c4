#include "CVelmoraView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>
#include <functional>
#include <cstdint>

#include "CVelmoraDoc.h"
#include "Dialogs.h"
#include "DialogUnits.h"
#include "MenuRules.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "SerialPortList.h"

namespace {

constexpr int kFormWidth = 269;   // dialog units
constexpr int kFormHeight = 245;

const QColor kNoteColour(230, 0, 0);

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// The COM port list. Each item's text is the port's name followed by what the
// device is; its data is the name alone, which the closed box shows. `opening`
// runs before the list drops down (to read the devices present again); the
// drop-down list is as wide as the longest line plus `margin` (a device path
// with its description is longer than the box is wide).
class PortListBox final : public QComboBox {
public:
    PortListBox(int margin, QWidget* parent) : QComboBox(parent), margin_(margin) {}

    std::function<void()> opening;

    void showPopup() override
    {
        if (opening) opening();
        int widest = 0;
        const QFontMetrics fm(font());
        for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
        view()->setMinimumWidth(widest + margin_);
        QComboBox::showPopup();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QString name = currentData().toString();
        if (!name.isEmpty()) option.currentText = name;
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    int margin_;
};

}  // namespace

CVelmoraView::CVelmoraView(CVelmoraDoc& document, QtWorkflowHost& host, QWidget* parent)
    : QWidget(parent), doc_(document), host_(host), form_(document, host, *this)
{
    setObjectName(QStringLiteral("IDD_VELMORA_FORM"));
    setFont(DialogFont());
    CreateControls();
    BindControls();
    form_.CreateControls({});
    // What each device is, is looked up when the list is opened.
    FillPortList(false);
    host_.AddView(this);
}

CVelmoraView::~CVelmoraView()
{
    host_.RemoveView(this);
}

void CVelmoraView::FillPortList(bool discover)
{
    const QList<PortListEntry> entries = PortListEntries(discover ? KvDiscoverSerialPorts() : std::vector<KvPortInfo>{});
    std::vector<std::string> names;
    for (const PortListEntry& e : entries) names.push_back(e.name.toUtf8().toStdString());
    const QSignalBlocker quiet(comPort_);
    form_.UpdatePortNames(names);
    for (int i = 0; i < entries.size() && i < comPort_->count(); ++i) {
        comPort_->setItemText(i, entries[i].text);
        comPort_->setItemData(i, entries[i].name);
    }
    comPort_->setToolTip(comPort_->currentText());
}

QSize CVelmoraView::FormSize() const
{
    return DialogUnits(font()).Size(kFormWidth, kFormHeight);
}

void CVelmoraView::CreateControls()
{
    const DialogUnits du(font());

    auto text = [this, &du](const char* utf8, int x, int y, int w, int h, Qt::Alignment align) {
        auto* label = new QLabel(Text(utf8), this);
        label->setAlignment(align | Qt::AlignVCenter);
        PlaceText(label, du, x, y, w, h);
        return label;
    };
    auto group = [this, &du](const char* utf8, int x, int y, int w, int h) {
        auto* box = new QGroupBox(Text(utf8), this);
        UseFormStyle(box);
        box->setGeometry(du.Rect(x, y, w, h));
        return box;
    };
    // The lists are created empty: the form loads their items.
    auto list = [this, &du](const char* name, int x, int y, int w, QComboBox* combo = nullptr) {
        if (combo == nullptr) combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        UseFormStyle(combo);
        const int height = std::min(combo->sizeHint().height(), du.Y(14));
        combo->setGeometry(du.X(x), du.Y(y), du.X(w), height);
        return combo;
    };

    // Group boxes first, so that they lie beneath the controls they frame.
    group("操作ガイド", 6, 21, 256, 30);
    QGroupBox* basic = group("基本設定", 6, 58, 108, 92);
    group("シリアル通信設定", 120, 58, 142, 92);
    group("I/Oピン機能設定", 6, 158, 256, 46);

    modeNote_ = text("", 13, 8, 154, 8, Qt::AlignLeft);
    modeNote_->setObjectName(QStringLiteral("IDC_MODE_NOTE"));
    text("使用COMポート：", 171, 8, 50, 8, Qt::AlignRight);
    auto* portList = new PortListBox(du.X(12), this);
    portList->opening = [this] { FillPortList(true); };
    comPort_ = list("IDC_COM_PORT", 224, 6, 38, portList);
    // A device path is longer than the list is wide: the tip shows it whole.
    connect(comPort_, &QComboBox::currentTextChanged, comPort_, &QWidget::setToolTip);

    guide_ = text("ヘルプメッセージ", 13, 34, 241, 8, Qt::AlignLeft);
    guide_->setObjectName(QStringLiteral("IDC_GUIDE"));

    text("製造番号：", 16, 77, 32, 8, Qt::AlignRight);
    serialNumber_ = text("000000000", 51, 77, 32, 8, Qt::AlignHCenter);
    serialNumber_->setObjectName(QStringLiteral("IDC_SERIAL_NUMBER"));
    text("バージョン：", 13, 94, 35, 8, Qt::AlignRight);
    versionText_ = text("0.00.000", 51, 94, 24, 8, Qt::AlignHCenter);
    versionText_->setObjectName(QStringLiteral("IDC_VERSION"));
    text("周波数：", 23, 112, 25, 8, Qt::AlignRight);
    frequency_ = list("IDC_FREQUENCY", 51, 110, 31);
    text("MHｚ", 85, 112, 14, 8, Qt::AlignLeft);
    text("アドレス：", 21, 130, 27, 8, Qt::AlignRight);
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("IDC_ADDRESS"));
    address_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    address_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), address_));
    address_->setGeometry(du.Rect(51, 127, 31, 14));
    QLabel* range = text("(0～9999)", 83, 130, 30, 8, Qt::AlignLeft);
    // On a font wider than the layout's the range would run over the box's frame:
    // it moves left and takes the room from the edit, which needs far less than
    // its width for four digits, keeping the layout's gap between the two.
    if (const int over = range->geometry().right() - (basic->geometry().right() - du.X(3)); over > 0) {
        range->move(range->x() - over, range->y());
        address_->resize(address_->width() - over, address_->height());
    }

    text("通信速度：", 149, 77, 36, 8, Qt::AlignRight);
    baudRate_ = list("IDC_BAUD_RATE", 189, 74, 34);
    text("bps", 226, 77, 11, 8, Qt::AlignLeft);
    text("データ長：", 150, 95, 35, 8, Qt::AlignRight);
    dataBits_ = list("IDC_DATA_BITS", 189, 92, 34);
    text("ビット", 226, 95, 16, 8, Qt::AlignLeft);
    text("パリティ：", 158, 113, 27, 8, Qt::AlignRight);
    parity_ = list("IDC_PARITY", 189, 110, 34);
    text("ストップビット：", 141, 130, 44, 8, Qt::AlignRight);
    stopBits_ = list("IDC_STOP_BITS", 189, 128, 34);
    text("ビット", 226, 130, 16, 8, Qt::AlignLeft);

    text("I/O 1-2", 33, 168, 30, 8, Qt::AlignLeft);
    text("I/O 3-4", 93, 168, 30, 8, Qt::AlignLeft);
    text("I/O 5-6", 153, 168, 30, 8, Qt::AlignLeft);
    text("I/O 7-8", 213, 168, 30, 8, Qt::AlignLeft);
    pin12_ = list("IDC_PIN_12", 17, 180, 55);
    pin34_ = list("IDC_PIN_34", 77, 180, 55);
    pin56_ = list("IDC_PIN_56", 137, 180, 55);
    pin78_ = list("IDC_PIN_78", 197, 180, 55);
    pinNote_ = text("", 13, 208, 247, 8, Qt::AlignLeft);
    pinNote_->setObjectName(QStringLiteral("IDC_PIN_NOTE"));

    scanButton_ = new QPushButton(Text("スキャン"), this);
    scanButton_->setObjectName(QStringLiteral("IDC_SCAN"));
    scanButton_->setGeometry(du.Rect(6, 224, 49, 14));
    setButton_ = new QPushButton(Text("設定"), this);
    setButton_->setObjectName(QStringLiteral("IDC_SET"));
    setButton_->setGeometry(du.Rect(213, 224, 49, 14));
    // A focused button takes Enter as well as Space, as the buttons of a form do.
    scanButton_->setAutoDefault(true);
    setButton_->setAutoDefault(true);

    for (QLabel* note : {modeNote_, pinNote_}) {
        QPalette palette = note->palette();
        palette.setColor(QPalette::Active, QPalette::WindowText, kNoteColour);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, kNoteColour);
        note->setPalette(palette);
    }

    connect(scanButton_, &QPushButton::clicked, this, &CVelmoraView::OnScan);
    connect(setButton_, &QPushButton::clicked, this, &CVelmoraView::OnSet);
}

void CVelmoraView::BindControls()
{
    controls_ = {
        {IDC_PIN_NOTE, pinNote_},     {IDC_VERSION, versionText_},   {IDC_MODE_NOTE, modeNote_},
        {IDC_COM_PORT, comPort_},     {IDC_GUIDE, guide_},           {IDC_SERIAL_NUMBER, serialNumber_},
        {IDC_ADDRESS, address_},      {IDC_STOP_BITS, stopBits_},    {IDC_PIN_78, pin78_},
        {IDC_PIN_34, pin34_},         {IDC_PIN_56, pin56_},          {IDC_PIN_12, pin12_},
        {IDC_PARITY, parity_},        {IDC_FREQUENCY, frequency_},   {IDC_DATA_BITS, dataBits_},
        {IDC_BAUD_RATE, baudRate_},   {IDC_SET, setButton_},         {IDC_SCAN, scanButton_},
    };
}

QWidget* CVelmoraView::Control(int controlId) const
{
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

QComboBox* CVelmoraView::List(int controlId) const
{
    return qobject_cast<QComboBox*>(Control(controlId));
}

void CVelmoraView::OfferPort(const QString& name)
{
    std::vector<std::string> names;
    for (const PortListEntry& e : PortListEntries({})) names.push_back(e.name.toUtf8().toStdString());
    const std::string wanted = name.toUtf8().toStdString();
    auto at = std::find(names.begin(), names.end(), wanted);
    if (at == names.end()) at = names.insert(names.end(), wanted);
    form_.UpdatePortNames(names);
    comPort_->setCurrentIndex(static_cast<int>(at - names.begin()));
}

void CVelmoraView::FillControlLists()
{
    form_.FillControlLists();
}

void CVelmoraView::FitFrameToForm()
{
    setFixedSize(FormSize());
    QWidget* frame = window();
    if (frame == this) return;
    if (frame->layout() != nullptr) frame->layout()->activate();
    frame->setFixedSize(frame->sizeHint());
}

CEscapeDlg* CVelmoraView::EscapeDialog()
{
    if (escapeDlg_ == nullptr) {
        escapeDlg_ = new CEscapeDlg(this);
        escapeDlg_->settings = form_.EscapeSettings();
    }
    return escapeDlg_;
}

void CVelmoraView::RefreshFromDocument()
{
    form_.RefreshFromDocument();
}

void CVelmoraView::EnableSettingControls(bool enable)
{
    form_.EnableSettingControls(enable);
}

void CVelmoraView::StoreControlsToDocument()
{
    form_.StoreControlsToDocument();
}

void CVelmoraView::OnUpdateDeviceCommand(QAction* command) const
{
    command->setEnabled(IsMenuCommandEnabled(command->data().toInt(), doc_.HasDevice()));
}

void CVelmoraView::SetControlText(int controlId, const std::string& text)
{
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QWidget* control = Control(controlId);
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(shown);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(shown);
}

std::string CVelmoraView::GetControlText(int controlId) const
{
    QWidget* control = Control(controlId);
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        text = edit->text();
    return text.toUtf8().toStdString();
}

void CVelmoraView::EnableControl(int controlId, bool enable)
{
    if (QWidget* control = Control(controlId)) control->setEnabled(enable);
}

void CVelmoraView::SetListItems(int controlId, const std::vector<std::string>& texts)
{
    QComboBox* list = List(controlId);
    if (list == nullptr) return;
    list->clear();
    for (const std::string& text : texts) list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    list->setCurrentIndex(-1);
}

int CVelmoraView::GetListSelection(int controlId) const
{
    const QComboBox* list = List(controlId);
    return list == nullptr ? -1 : list->currentIndex();
}

void CVelmoraView::SetListSelection(int controlId, int index)
{
    if (QComboBox* list = List(controlId)) list->setCurrentIndex(index);
}

void CVelmoraView::SetTextLimit(int controlId, int characters)
{
    if (auto* edit = qobject_cast<QLineEdit*>(Control(controlId))) edit->setMaxLength(characters);
}

void CVelmoraView::EnableWindow(bool enable)
{
    setEnabled(enable);
}

void CVelmoraView::RepaintNow()
{
    repaint();
}

int CVelmoraView::RunEscapeDialog(SerialSettings& settings)
{
    CEscapeDlg* escape = EscapeDialog();
    escape->settings = settings;
    const int result = escape->DoModal();
    settings = escape->settings;
    return result;
}

// The handlers hold off user input while their workflow runs; what they do is the form's.

void CVelmoraView::OnScan()
{
    WorkflowInputBlocker blocker;
    form_.OnScan();
}

void CVelmoraView::OnSet()
{
    WorkflowInputBlocker blocker;
    form_.OnSet();
}

void CVelmoraView::OnTransparentMaster()
{
    WorkflowInputBlocker blocker;
    form_.OnTransparentMaster();
}

void CVelmoraView::OnTransparentSlave()
{
    WorkflowInputBlocker blocker;
    form_.OnTransparentSlave();
}

void CVelmoraView::OnCancelTransparent()
{
    WorkflowInputBlocker blocker;
    form_.OnCancelTransparent();
}

void CVelmoraView::OnInitializeDevice()
{
    WorkflowInputBlocker blocker;
    form_.OnInitializeDevice();
}

void CVelmoraView::OnEscapeTransparent()
{
    WorkflowInputBlocker blocker;
    form_.OnEscapeTransparent();
}
