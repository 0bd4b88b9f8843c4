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

#include <algorithm>
#include <cstdint>

#include "CVelmoraDoc.h"
#include "Dialogs.h"
#include "DialogUnits.h"
#include "KvExceptions.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "SerialPortList.h"
#include "SerialSettings.h"
#include "StringTable.h"

namespace {

constexpr int kFormWidth = 269;   // dialog units
constexpr int kFormHeight = 245;
constexpr int kFirstChannelMHz = 2405;
constexpr int kLastChannelMHz = 2480;
constexpr int kPinValues[] = {'0', '1', '2'};

const QColor kNoteColour(230, 0, 0);

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

KvString ToKvString(const QString& text) { return KvString(text.toUtf8().constData()); }

// Restores the enabled state of a widget when a handler leaves, however it leaves.
class EnableOnExit {
public:
    explicit EnableOnExit(QWidget* widget) : widget_(widget) {}
    ~EnableOnExit() { widget_->setEnabled(true); }
    EnableOnExit(const EnableOnExit&) = delete;
    EnableOnExit& operator=(const EnableOnExit&) = delete;

private:
    QWidget* widget_;
};

// The COM port list. Its drop-down list is as wide as the longest name plus
// `margin` (a device path is longer than the box is wide); the names are measured
// when the list opens, not before.
class PortListBox final : public QComboBox {
public:
    PortListBox(int margin, QWidget* parent) : QComboBox(parent), margin_(margin) {}

    void showPopup() override
    {
        int widest = 0;
        const QFontMetrics fm(font());
        for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
        view()->setMinimumWidth(widest + margin_);
        QComboBox::showPopup();
    }

private:
    int margin_;
};

}  // namespace

bool ParseAddressText(const QString& text, int& address)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return false;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i].unicode() - u'0');
        if (value > 9999) return false;  // beyond the range however long the rest is
    }
    address = static_cast<int>(value);
    return true;
}

CVelmoraView::CVelmoraView(CVelmoraDoc& document, QtWorkflowHost& host, QWidget* parent)
    : QWidget(parent), doc_(document), host_(host)
{
    setObjectName(QStringLiteral("IDD_VELMORA_FORM"));
    setFont(DialogFont());
    CreateControls();
    host_.AddView(this);
}

CVelmoraView::~CVelmoraView()
{
    host_.RemoveView(this);
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
    auto list = [this, &du](const char* name, int x, int y, int w, std::initializer_list<const char*> items,
                            QComboBox* combo = nullptr) {
        if (combo == nullptr) combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        UseFormStyle(combo);
        for (const char* item : items) combo->addItem(Text(item));
        combo->setCurrentIndex(-1);
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
    comPort_ = list("IDC_COM_PORT", 224, 6, 38, {}, new PortListBox(du.X(12), this));
    comPort_->addItems(ComPortNames());
    comPort_->setCurrentIndex(0);
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
    frequency_ = list("IDC_FREQUENCY", 51, 110, 31, {});
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
    baudRate_ = list("IDC_BAUD_RATE", 189, 74, 34, {"1200", "2400", "4800", "9600", "19200", "38400", "57600"});
    text("bps", 226, 77, 11, 8, Qt::AlignLeft);
    text("データ長：", 150, 95, 35, 8, Qt::AlignRight);
    dataBits_ = list("IDC_DATA_BITS", 189, 92, 34, {"7", "8"});
    text("ビット", 226, 95, 16, 8, Qt::AlignLeft);
    text("パリティ：", 158, 113, 27, 8, Qt::AlignRight);
    parity_ = list("IDC_PARITY", 189, 110, 34, {"なし", "偶数", "奇数"});
    text("ストップビット：", 141, 130, 44, 8, Qt::AlignRight);
    stopBits_ = list("IDC_STOP_BITS", 189, 128, 34, {"1", "2"});
    text("ビット", 226, 130, 16, 8, Qt::AlignLeft);

    text("I/O 1-2", 33, 168, 30, 8, Qt::AlignLeft);
    text("I/O 3-4", 93, 168, 30, 8, Qt::AlignLeft);
    text("I/O 5-6", 153, 168, 30, 8, Qt::AlignLeft);
    text("I/O 7-8", 213, 168, 30, 8, Qt::AlignLeft);
    pin12_ = list("IDC_PIN_12", 17, 180, 55, {"デジタル入力", "デジタル出力", "アナログ入力"});
    pin34_ = list("IDC_PIN_34", 77, 180, 55, {"デジタル入力", "デジタル出力", "アナログ入力"});
    pin56_ = list("IDC_PIN_56", 137, 180, 55, {"デジタル入力", "デジタル出力"});
    pin78_ = list("IDC_PIN_78", 197, 180, 55, {"デジタル入力", "デジタル出力"});
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

void CVelmoraView::FillControlLists()
{
    // 1. Bind the controls (the pin array), refresh once.
    if (!bound_) {
        pinLists_ = {pin12_, pin34_, pin56_, pin78_};
        bound_ = true;
    }
    RefreshFromDocument();

    // 2. The frame fits the form exactly.
    FitFrameToForm();

    // 3. The 76 channels.
    frequency_->clear();
    for (int mhz = kFirstChannelMHz; mhz <= kLastChannelMHz; ++mhz) frequency_->addItem(QString::asprintf("%4d", mhz));
    frequency_->setCurrentIndex(-1);

    // 4. Item data by position.
    for (int i = 0; i < baudRate_->count(); ++i) baudRate_->setItemData(i, kUserBaudRates[i]);
    for (int i = 0; i < dataBits_->count(); ++i) dataBits_->setItemData(i, kUserDataBits[i]);
    for (int i = 0; i < parity_->count(); ++i) parity_->setItemData(i, kUserParities[i]);
    for (int i = 0; i < stopBits_->count(); ++i) stopBits_->setItemData(i, kUserStopBits[i]);
    for (QComboBox* pins : pinLists_) {
        for (int i = 0; i < pins->count(); ++i) pins->setItemData(i, kPinValues[i]);
    }

    // 5. At most four digits.
    address_->setMaxLength(4);
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
    if (escapeDlg_ == nullptr) escapeDlg_ = new CEscapeDlg(this);
    return escapeDlg_;
}

int CVelmoraView::FindItemByData(const QComboBox* list, int value)
{
    for (int i = 0; i < list->count(); ++i) {
        const QVariant data = list->itemData(i);
        if (data.isValid() && data.toInt() == value) return i;
    }
    return -1;
}

void CVelmoraView::RefreshFromDocument()
{
    if (!doc_.HasDevice()) {
        guide_->setText(LoadKvString(IDS_GUIDE_SCAN));
        EnableSettingControls(false);
    } else {
        // Ask for everything first: the serial number is a live query, and when it
        // fails the window keeps what it showed.
        std::uint32_t serial = 0;
        KvString version;
        int mode = 0, address = 0, frequency = 0, baud = 0, dataBits = 0, stopBits = 0, parity = 0;
        int pins[4] = {};
        try {
            serial = doc_.GetSerialNumber();
            version = doc_.GetVersionText();
            mode = doc_.GetOperatingMode(true);
            address = doc_.GetAddress();
            frequency = doc_.GetFrequencyIndex();
            baud = doc_.GetBaudRate();
            dataBits = doc_.GetDataBits();
            stopBits = doc_.GetStopBits();
            parity = doc_.GetParity();
            for (int i = 0; i < 4; ++i) pins[i] = doc_.GetPinFunction(i);
        } catch (const KvException&) {
            ReportRefreshFailure();
            return;
        } catch (const KvStringException&) {
            ReportRefreshFailure();
            return;
        }

        guide_->setText(LoadKvString(IDS_GUIDE_EDIT));
        if (mode == 1)
            modeNote_->setText(LoadKvString(IDS_MODE_MASTER));
        else if (mode == 2)
            modeNote_->setText(LoadKvString(IDS_MODE_SLAVE));
        else
            modeNote_->clear();

        versionText_->setText(QString::fromLatin1(version.CStr()));
        serialNumber_->setText(QString::asprintf("%09u", static_cast<unsigned>(serial)));
        address_->setText(QString::number(address));

        frequency_->setCurrentIndex(frequency >= 0 && frequency < frequency_->count() ? frequency : -1);
        auto select = [](QComboBox* list, int value) {
            const int index = FindItemByData(list, value);
            if (index >= 0) list->setCurrentIndex(index);
        };
        select(baudRate_, baud);
        select(dataBits_, dataBits);
        select(stopBits_, stopBits);
        select(parity_, parity);
        for (int i = 0; i < 4; ++i) select(pinLists_[i], pins[i]);

        if (doc_.pinFunctionsFixed)
            pinNote_->setText(LoadKvString(IDS_PINS_FIXED_MODEL));
        else if (mode == 1 || mode == 2)
            pinNote_->setText(LoadKvString(IDS_PINS_LOCKED_TRANSPARENT));
        else
            pinNote_->clear();

        EnableSettingControls(true);
    }

    const QString port = QString::fromUtf8(doc_.GetPortName().CStr());
    for (int i = 0; i < comPort_->count(); ++i) {
        if (comPort_->itemText(i).compare(port, Qt::CaseInsensitive) == 0) {
            comPort_->setCurrentIndex(i);
            break;
        }
    }
}

void CVelmoraView::ReportRefreshFailure()
{
    // The module stopped answering between a read and this refresh: say so with the
    // communication-error dialog and leave the window as it was.
    host_.RunDialog(IDD_COMM_ERROR);
}

void CVelmoraView::EnableSettingControls(bool enable)
{
    setButton_->setEnabled(enable);
    serialNumber_->setEnabled(enable);
    frequency_->setEnabled(enable);
    baudRate_->setEnabled(enable);
    parity_->setEnabled(enable);
    stopBits_->setEnabled(enable);
    dataBits_->setEnabled(enable);
    address_->setEnabled(enable && !doc_.addressLocked);
    const bool pins = enable && !doc_.pinFunctionsFixed && doc_.GetOperatingMode(true) == 0;
    for (QComboBox* list : pinLists_) {
        if (list != nullptr) list->setEnabled(pins);
    }
}

void CVelmoraView::StoreControlsToDocument()
{
    auto selected = [](const QComboBox* list) {
        const int index = list->currentIndex();
        return index < 0 ? -1 : list->itemData(index).toInt();
    };
    DeviceSettings& record = doc_.settings;
    record.frequencyIndex = static_cast<std::uint8_t>(frequency_->currentIndex());
    record.baudRate = selected(baudRate_);
    record.stopBits = selected(stopBits_);
    record.parity = selected(parity_);
    record.dataBits = selected(dataBits_);
    for (int i = 0; i < 4; ++i) record.pinFunctions[i] = selected(pinLists_[i]);
}

void CVelmoraView::OnUpdateDeviceCommand(QAction* command) const
{
    command->setEnabled(doc_.HasDevice());
}

void CVelmoraView::RepaintNow()
{
    repaint();
}

void CVelmoraView::OnScan()
{
    WorkflowInputBlocker blocker;
    WaitCursor wait(host_);
    doc_.SetPortName(ToKvString(comPort_->currentText()));
    setEnabled(false);
    EnableOnExit enableAgain(this);
    if (doc_.Scan()) {
        RepaintNow();
        doc_.ReadSettings();
    }
}

void CVelmoraView::OnSet()
{
    WorkflowInputBlocker blocker;
    int address = 0;
    if (!ParseAddressText(address_->text(), address)) {
        host_.ShowMessage(IDS_BAD_ADDRESS);
        return;
    }
    if (host_.RunDialog(IDD_SET_CONFIRM) == IDCANCEL) return;
    RepaintNow();
    StoreControlsToDocument();
    doc_.settings.address = static_cast<std::uint16_t>(address);
    bool written = false;
    if (doc_.WriteSettings(true, &written)) doc_.ReadSettings();
    // Only a write that went through is reported as done; after a failed one
    // (whose error dialog the workflow has shown) the editing guide stays.
    if (written) guide_->setText(LoadKvString(IDS_SET_DONE));
}

void CVelmoraView::OnTransparentMaster()
{
    WorkflowInputBlocker blocker;
    StoreControlsToDocument();
    doc_.SetTransparentMaster();
}

void CVelmoraView::OnTransparentSlave()
{
    WorkflowInputBlocker blocker;
    StoreControlsToDocument();
    doc_.SetTransparentSlave();
}

void CVelmoraView::OnCancelTransparent()
{
    WorkflowInputBlocker blocker;
    doc_.CancelTransparentMode();
}

void CVelmoraView::OnInitializeDevice()
{
    WorkflowInputBlocker blocker;
    const int answer = host_.RunDialog(IDD_INIT_CONFIRM);
    RepaintNow();
    if (answer == IDOK && doc_.InitializeDevice()) {
        RepaintNow();
        doc_.ReadSettings();
    }
}

void CVelmoraView::OnEscapeTransparent()
{
    WorkflowInputBlocker blocker;
    const KvString port = ToKvString(comPort_->currentText());
    CEscapeDlg* escape = EscapeDialog();
    if (escape->DoModal() != IDOK) return;
    for (;;) {
        const SerialSettings line = escape->settings;
        doc_.SetPortName(port);
        if (doc_.EscapeTransparentMode(line.baudRate, line.dataBits, line.parity, line.stopBits)) {
            host_.RunDialog(IDD_ESCAPE_DONE);
            RepaintNow();
            doc_.ReadSettings();
            return;
        }
        if (host_.RunDialog(IDD_ESCAPE_FAILED) == IDCANCEL) return;
        if (escape->DoModal() != IDOK) return;
    }
}
