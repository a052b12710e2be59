#include "settings/dialog/CSettingsDlg.h"

#include <charconv>
#include <climits>
#include <optional>
#include <string_view>

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "platform/Text.h"
#include "state/PlayerState.h"
#include "render/TextDraw.h"
#include "state/Settings.h"
#include "settings/dialog/BackgroundFiles.h"
#include "render/DialogUnits.h"

namespace {

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdBackgroundCombo = 1075;
constexpr int kIdResetSpeeds = 1085;
constexpr int kNoId = -1;

// The template: 254 x 245 units in the 9-point dialog font, and below it the loudness group
// (37 units). Every rectangle is laid out with a margin of 2 units, so no frame touches the
// window's edge.
constexpr int kDialogWidth = 254;
constexpr int kDialogHeight = 282;
constexpr int kMargin = 2;
constexpr const char* kCaption = "操作設定ダイアログ";
constexpr const char* kDefaultEntry = "デフォルト";
// The framework's message for an edit whose text is not an integer.
constexpr const char* kNotAnInteger = "整数を入力してください。";

enum class Kind { Group, Text, Radio, Edit, Button, Combo };

struct TemplateItem {
    Kind kind;
    int id;
    const char* text;
    int x, y, width, height;
};

// Creation order is tab order; group boxes come before the controls they frame, so those
// paint above them.
constexpr TemplateItem kTemplate[] = {
    {Kind::Group, kNoId, "ホイールの設定", 0, 0, 235, 50},
    {Kind::Group, kNoId, "一時停止からの動作", 6, 10, 109, 35},
    {Kind::Radio, 1032, "MODE1", 12, 20, 40, 10},
    {Kind::Text, kNoId, "前後コマ送り", 54, 21, 58, 8},
    {Kind::Radio, 1033, "MODE2", 12, 32, 40, 10},
    {Kind::Text, kNoId, "スロー～早送り", 54, 33, 58, 8},
    {Kind::Group, kNoId, "再生中からの動作", 120, 10, 109, 35},
    {Kind::Radio, 1034, "MODE1", 126, 20, 40, 10},
    {Kind::Text, kNoId, "前後早送り", 168, 21, 58, 8},
    {Kind::Radio, 1035, "MODE2", 126, 32, 40, 10},
    {Kind::Text, kNoId, "スロー～早送り", 168, 33, 58, 8},

    {Kind::Group, kNoId, "最大化時の設定", 0, 55, 250, 25},
    {Kind::Text, kNoId, "左クリックで再生/一時停止。", 6, 67, 84, 8},
    {Kind::Text, kNoId, "ダブルクリックで操作パネル表示", 92, 67, 98, 8},
    {Kind::Radio, 1037, "OFF", 192, 66, 26, 10},
    {Kind::Radio, 1038, "ON", 220, 66, 26, 10},

    {Kind::Group, kNoId, "マウスカーソルの設定", 0, 85, 180, 25},
    {Kind::Text, kNoId, "最大化時マウスカーソルを隠す", 6, 97, 110, 8},
    {Kind::Radio, 1046, "OFF", 122, 96, 26, 10},
    {Kind::Radio, 1047, "ON", 150, 96, 26, 10},
    {Kind::Group, kNoId, "起動後すぐに再生", 185, 85, 65, 25},
    {Kind::Radio, 1069, "OFF", 192, 96, 26, 10},
    {Kind::Radio, 1070, "ON", 220, 96, 26, 10},

    {Kind::Group, kNoId, "ウインドウの設定", 0, 115, 140, 25},
    {Kind::Text, kNoId, "常に手前に表示", 6, 127, 70, 8},
    {Kind::Radio, 1050, "OFF", 82, 126, 26, 10},
    {Kind::Radio, 1051, "ON", 110, 126, 26, 10},
    {Kind::Group, kNoId, "動画ウインドウの表示サイズ保存", 145, 115, 105, 25},
    {Kind::Radio, 1067, "OFF", 192, 126, 26, 10},
    {Kind::Radio, 1068, "ON", 220, 126, 26, 10},

    // Left column backward, right column forward.
    {Kind::Group, kNoId, "サーチの速度(mms)", 0, 145, 250, 60},
    {Kind::Text, kNoId, "左クリック", 6, 166, 32, 8},
    {Kind::Text, kNoId, "右クリック", 6, 183, 32, 8},
    {Kind::Group, kNoId, "再生中からの速度", 40, 154, 84, 46},
    {Kind::Edit, 1077, nullptr, 46, 164, 34, 12},
    {Kind::Edit, 1084, nullptr, 84, 164, 34, 12},
    {Kind::Edit, 1081, nullptr, 46, 181, 34, 12},
    {Kind::Edit, 1080, nullptr, 84, 181, 34, 12},
    {Kind::Group, kNoId, "一時停止からの速度", 129, 154, 84, 46},
    {Kind::Edit, 1079, nullptr, 135, 164, 34, 12},
    {Kind::Edit, 1078, nullptr, 173, 164, 34, 12},
    {Kind::Edit, 1083, nullptr, 135, 181, 34, 12},
    {Kind::Edit, 1082, nullptr, 173, 181, 34, 12},
    {Kind::Button, kIdResetSpeeds, "初期化", 218, 180, 28, 14},

    {Kind::Group, kNoId, "バックグラウンドの指定", 0, 210, 180, 30},
    {Kind::Combo, kIdBackgroundCombo, nullptr, 6, 221, 168, 14},
    {Kind::Button, kIdOk, "OK", 186, 221, 30, 14},
    {Kind::Button, kIdCancel, "ｷｬﾝｾﾙ", 220, 221, 30, 14},

    // Not visible in the template, yet carried through: the slow search button while paused.
    {Kind::Radio, 1048, "OFF", 0, 0, 0, 0},
    {Kind::Radio, 1049, "ON", 0, 0, 0, 0},
};

// The loudness group, below the template: one button per Settings::gainMode, ids 1090 + mode.
constexpr int kIdFirstGainMode = 1090;
constexpr TemplateItem kGainGroup = {Kind::Group, kNoId, "音量の自動調整（ReplayGain）", 0, 245, 250, 35};
constexpr TemplateItem kGainModes[CSettingsDlg::kGainModeCount] = {
    {Kind::Radio, kIdFirstGainMode, "自動", 6, 256, 40, 10},
    {Kind::Radio, kIdFirstGainMode + 1, "トラック", 50, 256, 50, 10},
    {Kind::Radio, kIdFirstGainMode + 2, "アルバム", 104, 256, 50, 10},
    {Kind::Radio, kIdFirstGainMode + 3, "OFF", 158, 256, 30, 10},
};
// What "自動" means, below the buttons.
constexpr TemplateItem kGainNote = {
    Kind::Text, kNoId, "自動：順番どおりの再生はアルバム、シャッフル再生はトラックの値", 6, 268, 240, 8};

// A radio group: its first button is value 0, the second value 1.
struct RadioGroup {
    int firstId;
    int Settings::*field;
};
// In the order of the dialog's radio members.
constexpr RadioGroup kRadioGroups[CSettingsDlg::kRadioGroupCount] = {
    {1034, &Settings::wheelModePlaying}, {1032, &Settings::wheelModePaused},  {1037, &Settings::doubleClickPanel},
    {1046, &Settings::hideCursor},       {1048, &Settings::pausedSearchSlow}, {1050, &Settings::alwaysOnTop},
    {1067, &Settings::keepVideoSize},    {1069, &Settings::autoPlay},
};

// The speed edits with their searchSpeed index, in the order of the dialog's speed members.
struct SpeedEdit {
    int id;
    int index;
};
constexpr SpeedEdit kSpeedEdits[CSettingsDlg::kSpeedEditCount] = {
    {1084, 0}, {1077, 1}, {1079, 3}, {1078, 2}, {1080, 4}, {1081, 5}, {1082, 6}, {1083, 7},
};

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// An integer as the framework's data exchange accepts it: blanks around it, an optional sign,
// decimal digits, and nothing else. Values outside the 32-bit range are refused rather than
// cut.
std::optional<int> ParseDialogInt(const QString& text) {
    const std::string bytes = text.toStdString();
    std::string_view view = bytes;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!view.empty() && blank(view.front())) view.remove_prefix(1);
    while (!view.empty() && blank(view.back())) view.remove_suffix(1);
    bool negative = false;
    if (!view.empty() && (view.front() == '+' || view.front() == '-')) {
        negative = view.front() == '-';
        view.remove_prefix(1);
    }
    if (view.empty() || view.front() < '0' || view.front() > '9') return std::nullopt;
    long long magnitude = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), magnitude);
    if (error != std::errc() || end != view.data() + view.size()) return std::nullopt;
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return int(value);
}

QString StyleSheet(int fontHeight, int titleIndent, int buttonWidth, int buttonHeight) {
    return QStringLiteral(
               "CSettingsDlg, QLabel, QRadioButton, QGroupBox, QMessageBox {"
               " background-color: black; color: white; }"
               "QGroupBox { border: 1px solid #808080; margin-top: %1px; }"
               "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
               " left: %2px; padding: 0px 2px; }"
               "QRadioButton { spacing: 4px; }"
               "QRadioButton::indicator { width: 10px; height: 10px; border: 1px solid #c0c0c0;"
               " border-radius: 6px; background-color: black; }"
               "QRadioButton::indicator:checked { background-color: qradialgradient("
               " cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,"
               " stop: 0 white, stop: 0.5 white, stop: 0.6 black, stop: 1 black); }"
               "QRadioButton:focus { outline: none; }"
               "QLineEdit { border: 1px solid #808080; background-color: black; color: white;"
               " selection-background-color: white; selection-color: black; padding: 0px 2px; }"
               "QComboBox { border: 1px solid #808080; background-color: black; color: white;"
               " padding: 0px 2px; }"
               "QComboBox:focus { border: 1px solid white; }"
               "QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top right;"
               " width: 14px; border-left: 1px solid #808080; }"
               "QComboBox::down-arrow { width: 0px; height: 0px; border-left: 4px solid black;"
               " border-right: 4px solid black; border-top: 5px solid white; }"
               "QComboBox QAbstractItemView { background-color: black; color: white;"
               " border: 1px solid #808080; selection-background-color: white;"
               " selection-color: black; }"
               "QPushButton { border: 1px solid #a0a0a0; background-color: black; color: white;"
               " padding: 0px 4px; min-width: 0px; }"
               "QPushButton:default, QPushButton:focus { border: 1px solid white; }"
               "QPushButton:pressed { background-color: #404040; }"
               "QMessageBox QPushButton { min-width: %3px; min-height: %4px; }")
        .arg(fontHeight / 2)
        .arg(titleIndent)
        .arg(buttonWidth)
        .arg(buttonHeight);
}

}  // namespace

CSettingsDlg::CSettingsDlg(const Settings& settings, const std::string& programFolder, QWidget* parent)
    : QDialog(parent) {
    for (int i = 0; i < kRadioGroupCount; ++i) m_radio[i] = settings.*kRadioGroups[i].field;
    m_background = settings.backgroundFile;
    m_gainMode = settings.gainMode;
    for (int i = 0; i < kSpeedEditCount; ++i) m_speed[i] = settings.searchSpeed[kSpeedEdits[i].index];

    setWindowTitle(Utf8(kCaption));
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        colours.setColor(role, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(role, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(PlayerFont(kDialogFontPixels));

    CreateControls();
    OnInitDialog(programFolder);
}

void CSettingsDlg::CreateControls() {
    const DialogUnits units(font());
    setStyleSheet(StyleSheet(units.BaseY(), units.X(4), units.X(40), units.Y(12)));
    setFixedSize(units.X(kDialogWidth), units.Y(kDialogHeight));

    QButtonGroup* pending = nullptr;  // the group a first radio button opened
    for (const TemplateItem& item : kTemplate) {
        QWidget* widget = nullptr;
        const QString text = item.text ? Utf8(item.text) : QString();
        switch (item.kind) {
        case Kind::Group: widget = new QGroupBox(text, this); break;
        case Kind::Text: {
            auto* label = new QLabel(text, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            widget = label;
            break;
        }
        case Kind::Radio: {
            auto* radio = new QRadioButton(text, this);
            // All buttons share one parent, so each pair gets its own exclusive group.
            if (pending == nullptr) {
                pending = new QButtonGroup(this);
                pending->addButton(radio, 0);
                for (int i = 0; i < kRadioGroupCount; ++i)
                    if (kRadioGroups[i].firstId == item.id) m_groups[i] = pending;
            } else {
                pending->addButton(radio, 1);
                pending = nullptr;
            }
            widget = radio;
            break;
        }
        case Kind::Edit: {
            auto* edit = new QLineEdit(this);
            for (int i = 0; i < kSpeedEditCount; ++i)
                if (kSpeedEdits[i].id == item.id) m_speedEdits[i] = edit;
            widget = edit;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            if (item.id == kIdOk) {
                button->setDefault(true);
                connect(button, &QPushButton::clicked, this, &CSettingsDlg::accept);
            } else if (item.id == kIdCancel) {
                connect(button, &QPushButton::clicked, this, &CSettingsDlg::reject);
            } else if (item.id == kIdResetSpeeds) {
                connect(button, &QPushButton::clicked, this, &CSettingsDlg::OnResetSpeeds);
            }
            widget = button;
            break;
        }
        case Kind::Combo:
            // Editable, as the template has it, but typing chooses nothing: no completion, no
            // insertion, and the typed text is dropped when editing ends (eventFilter).
            m_backgroundCombo = new QComboBox(this);
            m_backgroundCombo->setMaxVisibleItems(12);
            m_backgroundCombo->setEditable(true);
            m_backgroundCombo->setInsertPolicy(QComboBox::NoInsert);
            m_backgroundCombo->setCompleter(nullptr);
            m_backgroundCombo->installEventFilter(this);
            widget = m_backgroundCombo;
            break;
        }
        if (item.id != kNoId) widget->setObjectName(QString::number(item.id));
        if (item.width == 0) {
            widget->hide();
        } else {
            widget->setGeometry(units.Rect(item.x + kMargin, item.y + kMargin, item.width, item.height));
        }
    }

    // The loudness group: four buttons in one exclusive group, after the template's controls.
    const auto place = [&](QWidget* widget, const TemplateItem& item) {
        widget->setGeometry(units.Rect(item.x + kMargin, item.y + kMargin, item.width, item.height));
    };
    place(new QGroupBox(Utf8(kGainGroup.text), this), kGainGroup);
    m_gainGroup = new QButtonGroup(this);
    for (int mode = 0; mode < kGainModeCount; ++mode) {
        auto* radio = new QRadioButton(Utf8(kGainModes[mode].text), this);
        radio->setObjectName(QString::number(kGainModes[mode].id));
        m_gainGroup->addButton(radio, mode);
        place(radio, kGainModes[mode]);
    }
    auto* note = new QLabel(Utf8(kGainNote.text), this);
    note->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    place(note, kGainNote);
}

void CSettingsDlg::OnInitDialog(const std::string& programFolder) {
    FillControls();

    // "デフォルト" first, then the pictures in the file system's order. Each entry shows its
    // name as text and keeps the file name's own bytes, which may not be UTF-8.
    m_backgroundCombo->addItem(Utf8(kDefaultEntry), QByteArray(kDefaultEntry));
    for (const std::string& name : ListBackgroundFiles(programFolder + "bg/"))
        m_backgroundCombo->addItem(QString::fromStdString(OutsideTextToUtf8(name)),
                                   QByteArray(name.data(), qsizetype(name.size())));

    // The entry of the current background: the one with exactly its name, else the first
    // whose text starts with it, in any case; else "デフォルト". Only the list's selection
    // moves: the name stays as stored until the user chooses an entry.
    int selected = -1;
    for (int i = 1; i < m_backgroundCombo->count() && selected < 0; ++i)
        if (m_backgroundCombo->itemData(i).toByteArray().toStdString() == m_background) selected = i;
    const QString current = QString::fromStdString(OutsideTextToUtf8(m_background));
    for (int i = 0; i < m_backgroundCombo->count() && selected < 0; ++i)
        if (m_backgroundCombo->itemText(i).startsWith(current, Qt::CaseInsensitive)) selected = i;
    m_backgroundCombo->setCurrentIndex(selected < 0 ? 0 : selected);

    connect(m_backgroundCombo, &QComboBox::activated, this, &CSettingsDlg::OnBackgroundChosen);
}

QWidget* CSettingsDlg::Item(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CSettingsDlg::FillControls() {
    for (int i = 0; i < kRadioGroupCount; ++i) {
        // A value that is neither 0 nor 1 checks no button.
        if (QAbstractButton* button = m_groups[i]->button(m_radio[i])) button->setChecked(true);
    }
    if (QAbstractButton* button = m_gainGroup->button(m_gainMode)) button->setChecked(true);
    for (int i = 0; i < kSpeedEditCount; ++i) m_speedEdits[i]->setText(QString::number(m_speed[i]));
}

bool CSettingsDlg::ReadControls() {
    int speeds[kSpeedEditCount];
    for (int i = 0; i < kSpeedEditCount; ++i) {
        const std::optional<int> value = ParseDialogInt(m_speedEdits[i]->text());
        if (!value) {
            RefuseSpeedText(m_speedEdits[i]);
            return false;
        }
        speeds[i] = *value;
    }
    for (int i = 0; i < kRadioGroupCount; ++i) m_radio[i] = m_groups[i]->checkedId();
    m_gainMode = m_gainGroup->checkedId();
    for (int i = 0; i < kSpeedEditCount; ++i) m_speed[i] = speeds[i];
    return true;
}

void CSettingsDlg::RefuseSpeedText(QLineEdit* edit) {
    // Window-modal over this dialog and without a nested loop of its own; when it is
    // dismissed the offending text is selected for retyping.
    auto* box = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(), Utf8(kNotAnInteger),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, edit, [edit] {
        edit->setFocus();
        edit->selectAll();
    });
    edit->setFocus();
    edit->selectAll();
    box->open();
}

void CSettingsDlg::accept() {
    if (ReadControls()) QDialog::accept();
}

bool CSettingsDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter and leaving the field end the editing, and the combo would then look the typed
    // text up and take a matching entry as chosen. The field shows the chosen entry again
    // first, so only choosing from the list (or with the arrow keys) changes the background.
    const bool ends = event->type() == QEvent::FocusOut ||
                      (event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                                             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter));
    if (watched == m_backgroundCombo && ends) {
        const QString chosen = m_backgroundCombo->itemText(m_backgroundCombo->currentIndex());
        if (m_backgroundCombo->lineEdit()->text() != chosen) m_backgroundCombo->lineEdit()->setText(chosen);
    }
    return QDialog::eventFilter(watched, event);
}

void CSettingsDlg::OnBackgroundChosen(int index) {
    if (index < 0) return;
    m_background = m_backgroundCombo->itemData(index).toByteArray().toStdString();
}

void CSettingsDlg::OnResetSpeeds() {
    for (int i = 0; i < kSpeedEditCount; ++i)
        m_speedEdits[i]->setText(QString::number(kDefaultSearchSpeed[kSpeedEdits[i].index]));
}

void CSettingsDlg::ApplyTo(Settings& settings, PlayerState& state) const {
    for (int i = 0; i < kRadioGroupCount; ++i) {
        // A group left without a checked button (its stored value was neither 0 nor 1) keeps
        // the stored value instead of turning it into -1.
        if (m_radio[i] >= 0) settings.*kRadioGroups[i].field = m_radio[i];
    }
    for (int i = 0; i < kSpeedEditCount; ++i) settings.searchSpeed[kSpeedEdits[i].index] = m_speed[i];
    if (m_gainMode >= 0) settings.gainMode = m_gainMode;
    if (m_background != settings.backgroundFile) {
        settings.backgroundFile = m_background;
        state.backgroundReload.Ask(true);
    }
}
