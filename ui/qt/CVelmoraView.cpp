#include "CVelmoraView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "CVelmoraDoc.h"
#include "DialogUnits.h"
#include "Dialogs.h"
#include "MenuRules.h"
#include "PortList.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "StringTable.h"
#include "Texts.h"

namespace {

constexpr int kFormWidth = kKvFormWidth;  // dialog units
constexpr int kFormHeight = kKvFormHeight;

const QColor kNoteColour(230, 0, 0);

// The object name of a control: its name in the resource header.
QString ControlName(int id) {
    switch (id) {
    case IDC_SET: return QStringLiteral("IDC_SET");
    case IDC_SCAN: return QStringLiteral("IDC_SCAN");
    case IDC_FREQUENCY: return QStringLiteral("IDC_FREQUENCY");
    case IDC_ADDRESS: return QStringLiteral("IDC_ADDRESS");
    case IDC_BAUD_RATE: return QStringLiteral("IDC_BAUD_RATE");
    case IDC_DATA_BITS: return QStringLiteral("IDC_DATA_BITS");
    case IDC_SERIAL_NUMBER: return QStringLiteral("IDC_SERIAL_NUMBER");
    case IDC_VERSION: return QStringLiteral("IDC_VERSION");
    case IDC_PARITY: return QStringLiteral("IDC_PARITY");
    case IDC_STOP_BITS: return QStringLiteral("IDC_STOP_BITS");
    case IDC_PIN_12: return QStringLiteral("IDC_PIN_12");
    case IDC_PIN_34: return QStringLiteral("IDC_PIN_34");
    case IDC_PIN_56: return QStringLiteral("IDC_PIN_56");
    case IDC_PIN_78: return QStringLiteral("IDC_PIN_78");
    case IDC_GUIDE: return QStringLiteral("IDC_GUIDE");
    case IDC_COM_PORT: return QStringLiteral("IDC_COM_PORT");
    case IDC_MODE_NOTE: return QStringLiteral("IDC_MODE_NOTE");
    case IDC_PIN_NOTE: return QStringLiteral("IDC_PIN_NOTE");
    default: return QString();
    }
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// The COM port list. Each item's text is the port's name followed by what the
// device is; its data is the name alone, which the closed box shows. `opening`
// runs before the list drops down (to read the devices present again); the
// drop-down list is as wide as the longest line plus `margin` (a device path
// with its description is longer than the box is wide).
// The port list's items carry the name the port opens by (the user role) and
// what the closed box shows for it.
constexpr int kShortNameRole = Qt::UserRole + 1;

class PortListBox final : public QComboBox {
public:
    PortListBox(int margin, QWidget* parent) : QComboBox(parent), margin_(margin) {}

    std::function<void()> opening;

    void showPopup() override {
        if (opening) opening();
        int widest = 0;
        const QFontMetrics fm(font());
        for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
        view()->setMinimumWidth(widest + margin_);
        QComboBox::showPopup();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        // The short name (ttyUSB0), shortened in the middle when even that does
        // not fit (a by-id name typed in).
        const QString name = currentData(kShortNameRole).toString();
        if (!name.isEmpty()) {
            const QRect text =
                style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
            option.currentText = fontMetrics().elidedText(name, Qt::ElideMiddle, text.width());
        }
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    int margin_;
};

}  // namespace

CVelmoraView::CVelmoraView(CVelmoraDoc& document, QtWorkflowHost& host, QWidget* parent)
    : QWidget(parent), doc_(document), host_(host), form_(document, host, *this) {
    setObjectName(QStringLiteral("IDD_VELMORA_FORM"));
    setFont(DialogFont());
    CreateControls();
    form_.OfferTypedPort();
    form_.CreateControls({});
    // What each device is, is looked up when the list is opened.
    FillPortList(false);
    host_.AddView(this);
}

CVelmoraView::~CVelmoraView() { host_.RemoveView(this); }

void CVelmoraView::AskForTypedPort() {
    bool ok = false;
    const QString typed = QInputDialog::getText(this, LoadKvString(AFX_IDS_APP_TITLE), LoadKvString(IDS_PORT_PROMPT),
                                                QLineEdit::Normal, QString(), &ok);
    form_.ChooseTypedPort(ok ? std::optional<std::string>(typed.trimmed().toStdString()) : std::nullopt, lastPort_);
    FillPortList(false);
}

void CVelmoraView::FillPortList(bool discover) {
    const std::vector<CPortListEntry> entries =
        PortListEntries(discover ? KvDiscoverSerialPorts() : std::vector<KvPortInfo>{});
    const QSignalBlocker quiet(comPort_);
    form_.UpdatePortNames(PortListNames(entries));
    const std::vector<std::string>& names = form_.PortNames();
    for (std::size_t i = 0; i < names.size() && static_cast<int>(i) < comPort_->count(); ++i) {
        // Names typed in come after the entries.
        const CPortListEntry entry =
            i < entries.size() ? entries[i] : CPortListEntry{names[i], names[i], PortShortName(names[i])};
        const int index = static_cast<int>(i);
        comPort_->setItemText(index, QString::fromStdString(entry.text));
        comPort_->setItemData(index, QString::fromStdString(entry.name));
        comPort_->setItemData(index, QString::fromStdString(entry.shortName), kShortNameRole);
        comPort_->setItemData(index, QString::fromStdString(KvPortDevicePath(entry.name)), Qt::ToolTipRole);
    }
    // Every port at once: the adapters found come after COM1 to COM20.
    comPort_->setMaxVisibleItems(std::max(10, comPort_->count()));
    comPort_->setToolTip(comPort_->currentData(Qt::ToolTipRole).toString());
}

QSize CVelmoraView::FormSize() const { return DialogUnits(font()).Size(kFormWidth, kFormHeight); }

QWidget* CVelmoraView::CreateControl(const KvFormControl& c, const DialogUnits& du) {
    const Qt::Alignment align = c.align == KvAlign::Right    ? Qt::AlignRight
                                : c.align == KvAlign::Centre ? Qt::AlignHCenter
                                                             : Qt::AlignLeft;
    switch (c.kind) {
    case KvFormKind::Group: {
        auto* box = new QGroupBox(Text(c.text), this);
        UseFormStyle(box);
        box->setGeometry(du.Rect(c.x, c.y, c.width, c.height));
        return box;
    }
    case KvFormKind::List: {
        // The lists are created empty: the form loads their items.
        QComboBox* list = nullptr;
        if (c.id == IDC_COM_PORT) {
            auto* portList = new PortListBox(du.X(12), this);
            portList->opening = [this] { FillPortList(true); };
            list = portList;
        } else {
            list = new QComboBox(this);
        }
        UseFormStyle(list);
        list->setGeometry(du.X(c.x), du.Y(c.y), du.X(c.width), std::min(list->sizeHint().height(), du.Y(14)));
        return list;
    }
    case KvFormKind::Edit: {
        auto* edit = new QLineEdit(Text(c.text), this);
        edit->setAlignment(align | Qt::AlignVCenter);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setGeometry(du.Rect(c.x, c.y, c.width, c.height));
        return edit;
    }
    case KvFormKind::Button: {
        auto* button = new QPushButton(Text(c.text), this);
        // A focused button takes Enter as well as Space, as the buttons of a form do.
        button->setAutoDefault(true);
        button->setGeometry(du.Rect(c.x, c.y, c.width, c.height));
        return button;
    }
    case KvFormKind::Label:
    case KvFormKind::Icon: break;
    }
    auto* label = new QLabel(Text(c.text), this);
    label->setAlignment(align | Qt::AlignVCenter);
    PlaceText(label, du, c.x, c.y, c.width, c.height);
    return label;
}

void CVelmoraView::CreateControls() {
    const DialogUnits du(font());
    // Every control as the form's table in the text table gives it (boxes
    // first, so that they lie beneath the controls they frame).
    std::vector<std::pair<const KvFormControl*, QWidget*>> placed;
    for (const KvFormControl& c : KvFormControls()) {
        QWidget* widget = CreateControl(c, du);
        if (c.id >= 0) {
            widget->setObjectName(ControlName(c.id));
            controls_[c.id] = widget;
        }
        if (c.disabledAtStart) widget->setEnabled(false);
        placed.emplace_back(&c, widget);
    }
    BindControls();
    MakeRoomForTheAddressRange(placed, du);
    // A device path is longer than the list is wide: the tip shows it whole.
    connect(comPort_, &QComboBox::currentIndexChanged, comPort_, [this](int index) {
        comPort_->setToolTip(comPort_->currentData(Qt::ToolTipRole).toString());
        if (!form_.IsTypedPortRow(index)) lastPort_ = form_.SelectedPortName();
    });
    connect(comPort_, &QComboBox::activated, this, [this](int index) {
        if (form_.IsTypedPortRow(index)) AskForTypedPort();
    });
    for (QLabel* note : {modeNote_, pinNote_}) {
        QPalette palette = note->palette();
        palette.setColor(QPalette::Active, QPalette::WindowText, kNoteColour);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, kNoteColour);
        note->setPalette(palette);
    }
    connect(scanButton_, &QPushButton::clicked, this, &CVelmoraView::OnScan);
    connect(setButton_, &QPushButton::clicked, this, &CVelmoraView::OnSet);
}

void CVelmoraView::MakeRoomForTheAddressRange(const std::vector<std::pair<const KvFormControl*, QWidget*>>& placed,
                                              const DialogUnits& du) {
    // On a font wider than the layout's, the text after the address edit
    // ("(0～9999)") would run over its box's frame: it moves left and takes the
    // room from the edit, which needs far less than its width for four digits,
    // keeping the layout's gap between the two.
    const auto inside = [](const KvFormControl& inner, const KvFormControl& outer) {
        return outer.x <= inner.x && inner.x < outer.x + outer.width && outer.y <= inner.y &&
               inner.y < outer.y + outer.height;
    };
    const KvFormControl* edit = nullptr;
    for (const auto& [c, widget] : placed) {
        if (c->kind == KvFormKind::Edit) edit = c;
    }
    QWidget* box = nullptr;
    QWidget* range = nullptr;
    for (const auto& [c, widget] : placed) {
        if (edit == nullptr || c->kind != KvFormKind::Group || !inside(*edit, *c)) continue;
        box = widget;
        for (const auto& [label, labelWidget] : placed) {
            if (label->kind == KvFormKind::Label && inside(*label, *c) && label->x >= edit->x + edit->width &&
                label->y >= edit->y && label->y < edit->y + edit->height)
                range = labelWidget;
        }
    }
    if (box == nullptr || range == nullptr) return;
    if (const int over = range->geometry().right() - (box->geometry().right() - du.X(3)); over > 0) {
        range->move(range->x() - over, range->y());
        address_->resize(address_->width() - over, address_->height());
    }
}

void CVelmoraView::BindControls() {
    auto bind = [this](int id, auto*& member) {
        member = qobject_cast<std::remove_reference_t<decltype(*member)>*>(controls_.at(id));
    };
    bind(IDC_PIN_NOTE, pinNote_);
    bind(IDC_VERSION, versionText_);
    bind(IDC_MODE_NOTE, modeNote_);
    bind(IDC_COM_PORT, comPort_);
    bind(IDC_GUIDE, guide_);
    bind(IDC_SERIAL_NUMBER, serialNumber_);
    bind(IDC_ADDRESS, address_);
    bind(IDC_STOP_BITS, stopBits_);
    bind(IDC_PIN_78, pin78_);
    bind(IDC_PIN_34, pin34_);
    bind(IDC_PIN_56, pin56_);
    bind(IDC_PIN_12, pin12_);
    bind(IDC_PARITY, parity_);
    bind(IDC_FREQUENCY, frequency_);
    bind(IDC_DATA_BITS, dataBits_);
    bind(IDC_BAUD_RATE, baudRate_);
    bind(IDC_SET, setButton_);
    bind(IDC_SCAN, scanButton_);
}

QWidget* CVelmoraView::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

QComboBox* CVelmoraView::List(int controlId) const { return qobject_cast<QComboBox*>(Control(controlId)); }

void CVelmoraView::OfferPort(const QString& name) {
    std::vector<std::string> names = PortListNames(PortListEntries({}));
    const std::string wanted = name.toUtf8().toStdString();
    auto at = std::find(names.begin(), names.end(), wanted);
    if (at == names.end()) at = names.insert(names.end(), wanted);
    form_.UpdatePortNames(names);
    comPort_->setCurrentIndex(static_cast<int>(at - names.begin()));
}

void CVelmoraView::FillControlLists() { form_.FillControlLists(); }

void CVelmoraView::FitFrameToForm() {
    setFixedSize(FormSize());
    QWidget* frame = window();
    if (frame == this) return;
    if (frame->layout() != nullptr) frame->layout()->activate();
    frame->setFixedSize(frame->sizeHint());
}

CEscapeDlg* CVelmoraView::EscapeDialog() {
    if (escapeDlg_ == nullptr) {
        escapeDlg_ = new CEscapeDlg(this);
        escapeDlg_->settings = form_.EscapeSettings();
    }
    return escapeDlg_;
}

void CVelmoraView::RefreshFromDocument() {
    form_.RefreshFromDocument();
    emit refreshed();
}

void CVelmoraView::EnableSettingControls(bool enable) { form_.EnableSettingControls(enable); }

void CVelmoraView::StoreControlsToDocument() { form_.StoreControlsToDocument(); }

void CVelmoraView::OnUpdateDeviceCommand(QAction* command) const {
    command->setEnabled(IsMenuCommandEnabled(command->data().toInt(), doc_.HasDevice()));
}

void CVelmoraView::SetControlText(int controlId, const std::string& text) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QWidget* control = Control(controlId);
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(shown);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(shown);
}

std::string CVelmoraView::GetControlText(int controlId) const {
    QWidget* control = Control(controlId);
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        text = edit->text();
    return text.toUtf8().toStdString();
}

void CVelmoraView::EnableControl(int controlId, bool enable) {
    if (QWidget* control = Control(controlId)) control->setEnabled(enable);
}

void CVelmoraView::SetListItems(int controlId, const std::vector<std::string>& texts) {
    QComboBox* list = List(controlId);
    if (list == nullptr) return;
    list->clear();
    for (const std::string& text : texts)
        list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    list->setCurrentIndex(-1);
}

int CVelmoraView::GetListSelection(int controlId) const {
    const QComboBox* list = List(controlId);
    return list == nullptr ? -1 : list->currentIndex();
}

void CVelmoraView::SetListSelection(int controlId, int index) {
    if (QComboBox* list = List(controlId)) list->setCurrentIndex(index);
}

void CVelmoraView::SetTextLimit(int controlId, int characters) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(controlId))) edit->setMaxLength(characters);
}

void CVelmoraView::EnableWindow(bool enable) { setEnabled(enable); }

void CVelmoraView::RepaintNow() { repaint(); }

int CVelmoraView::RunEscapeDialog(SerialSettings& settings) {
    CEscapeDlg* escape = EscapeDialog();
    escape->settings = settings;
    const int result = escape->DoModal();
    settings = escape->settings;
    return result;
}

std::optional<std::string> CVelmoraView::AskProfileToOpen() {
    const std::optional<QString> chosen = host_.AskProfileFile(false, QString::fromStdString(form_.ProfilePath()));
    if (!chosen) return std::nullopt;
    return chosen->toUtf8().toStdString();
}

std::optional<std::string> CVelmoraView::AskProfileToSave(const std::string& current) {
    const std::optional<QString> chosen = host_.AskProfileFile(true, QString::fromStdString(current));
    if (!chosen) return std::nullopt;
    return chosen->toUtf8().toStdString();
}

void CVelmoraView::ShowProblem(const std::string& text) { host_.ShowText(QString::fromStdString(text)); }

// The profile commands run no workflow: they touch the form and a file only.
void CVelmoraView::OnFileOpen() { form_.OnFileOpen(); }

void CVelmoraView::OnFileSave() { form_.OnFileSave(); }

void CVelmoraView::OnFileSaveAs() { form_.OnFileSaveAs(); }

// The handlers hold off user input while their workflow runs; what they do is the form's.

void CVelmoraView::OnScan() {
    WorkflowInputBlocker blocker;
    form_.OnScan();
}

void CVelmoraView::OnSet() {
    WorkflowInputBlocker blocker;
    form_.OnSet();
}

void CVelmoraView::OnTransparentMaster() {
    WorkflowInputBlocker blocker;
    form_.OnTransparentMaster();
}

void CVelmoraView::OnTransparentSlave() {
    WorkflowInputBlocker blocker;
    form_.OnTransparentSlave();
}

void CVelmoraView::OnCancelTransparent() {
    WorkflowInputBlocker blocker;
    form_.OnCancelTransparent();
}

void CVelmoraView::OnInitializeDevice() {
    WorkflowInputBlocker blocker;
    form_.OnInitializeDevice();
}

void CVelmoraView::OnEscapeTransparent() {
    WorkflowInputBlocker blocker;
    form_.OnEscapeTransparent();
}
