#include "panels/ControlPanel.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "panels/WindowPlacement.h"
#include "render/DialogUnits.h"
#include "render/TextDraw.h"

namespace {

constexpr int kNoId = -1;
// Slider steps of a line and of a page.
constexpr int kLineStep = 1;
constexpr int kPageStep = 5;
// kPanelFitToScreen: the position slider fitted to the screen, in pixels.
constexpr int kPositionBarX = 10;
constexpr int kPositionBarY = 45;
constexpr int kPositionBarMargin = 25;
constexpr int kPositionBarHeight = 12;

enum class Kind { Group, Button, Edit, HScroll };

struct TemplateItem {
    Kind kind;
    int id;
    const char* text;
    int x, y, width, height;
    bool shown;
};

// The template's pixel sizes suit a screen about this many rows high; on a larger screen the
// panel, its text and its controls grow with it (up to 4 times), so they stay readable.
constexpr double kTemplateScreenRows = 540.0;
constexpr double kMaxPanelScale = 4.0;

// Template 133, in creation order: group boxes before the controls they frame, so those
// paint above them. The effect controls are kept hidden, as the template has them.
constexpr TemplateItem kTemplate[] = {
    {Kind::Button, CControlPanelDlg::kIdBack, "BACK", 4, 10, 25, 15, true},
    {Kind::Button, CControlPanelDlg::kIdPlayPause, "PLAY/PAUSE", 29, 10, 45, 15, true},
    {Kind::Button, CControlPanelDlg::kIdNext, "NEXT", 75, 10, 25, 15, true},
    {Kind::Group, kNoId, "WaveVolume", 225, 5, 70, 20, true},
    {Kind::HScroll, CControlPanelDlg::kIdVolume, nullptr, 230, 15, 60, 8, true},
    {Kind::HScroll, CControlPanelDlg::kIdPosition, nullptr, 5, 30, 290, 8, true},
    {Kind::Group, kNoId, "LineMaskSize", 102, 0, 65, 25, false},
    {Kind::Edit, CControlPanelDlg::kIdFirstMask, nullptr, 105, 10, 15, 12, false},
    {Kind::Button, CControlPanelDlg::kIdFirstMaskUp, "", 120, 10, 10, 6, false},
    {Kind::Button, CControlPanelDlg::kIdFirstMaskDown, "", 120, 15, 10, 6, false},
    {Kind::Edit, CControlPanelDlg::kIdSecondMask, nullptr, 137, 10, 15, 12, false},
    {Kind::Button, CControlPanelDlg::kIdSecondMaskUp, "", 152, 10, 10, 6, false},
    {Kind::Button, CControlPanelDlg::kIdSecondMaskDown, "", 152, 15, 10, 6, false},
    {Kind::Group, kNoId, "ScanLineMode", 170, 0, 50, 25, false},
    {Kind::Edit, CControlPanelDlg::kIdScanLineMode, nullptr, 175, 10, 30, 12, false},
    {Kind::Button, CControlPanelDlg::kIdModeUp, "", 205, 10, 10, 6, false},
    {Kind::Button, CControlPanelDlg::kIdModeDown, "", 205, 15, 10, 6, false},
};

QString ModeName(int mode) {
    static const char* const kNames[] = {"Off", "Mode1", "Mode2", "Mode3", "Mode4"};
    return QString::fromLatin1(mode >= 0 && mode <= 4 ? kNames[mode] : "Mode5");
}

QString MaskText(int size) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d%%", size);
    return QString::fromLatin1(text);
}

int ClampToScale(double thumb) {
    // NaN and anything out of range land on the scale, never in an int overflow.
    if (!(thumb > 0.0)) return 0;
    if (thumb >= CControlPanelDlg::kSliderScale) return CControlPanelDlg::kSliderScale;
    return static_cast<int>(thumb);
}

const char* kStyle =
    "QGroupBox { border: 1px solid #808080; margin-top: 6px; color: white; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0px 2px; }"
    "QPushButton { border: 1px solid #a0a0a0; background-color: black; color: white;"
    " padding: 0px 2px; min-width: 0px; }"
    "QPushButton:focus { border: 1px solid white; }"
    "QPushButton:pressed { background-color: #404040; }"
    "QLineEdit { border: 1px solid #808080; background-color: black; color: white; }";

// The sliders keep the platform's look, in greys that stand out from the black panel: a
// mid-grey track with a light thumb and arrows.
QPalette SliderColours(const QPalette& base) {
    QPalette p = base;
    p.setColor(QPalette::Window, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Base, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Button, QColor(0xb0, 0xb0, 0xb0));
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Light, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Midlight, QColor(0xc8, 0xc8, 0xc8));
    p.setColor(QPalette::Mid, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Dark, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
    return p;
}

}  // namespace

// --- the window -----------------------------------------------------------------------------------

class ControlPanelWindow final : public QWidget {
public:
    explicit ControlPanelWindow(CControlPanelDlg& dialog)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_dialog(dialog) {
        setWindowTitle(QStringLiteral("VELKAF"));
        StyleAsDialog(*this);
        setStyleSheet(QString::fromLatin1(kStyle));
        for (const TemplateItem& item : kTemplate) {
            QWidget* widget = Make(item);
            widget->setVisible(item.shown);
            m_items.push_back({&item, widget});
        }
        LayOut(1.0, -1);
    }

    // Lays the template out in the player font grown by `scale`; a screen width of 0 or more
    // fits the position slider to it (SetValue 3), in pixels grown the same way.
    void LayOut(double scale, int screenWidth) {
        setFont(PlayerFont(int(std::lround(kDialogFontPixels * scale))));
        const DialogUnits units(font());
        resize(units.X(CControlPanelDlg::kTemplateWidth), units.Y(CControlPanelDlg::kTemplateHeight));
        for (const auto& [item, widget] : m_items)
            widget->setGeometry(units.Rect(item->x, item->y, item->width, item->height));
        if (screenWidth < 0) return;
        const auto px = [scale](int pixels) { return int(std::lround(pixels * scale)); };
        const QString positionName = QString::number(CControlPanelDlg::kIdPosition);
        if (QWidget* bar = findChild<QWidget*>(positionName, Qt::FindDirectChildrenOnly))
            bar->setGeometry(px(kPositionBarX), px(kPositionBarY), std::max(0, screenWidth - px(kPositionBarMargin)),
                             px(kPositionBarHeight));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // Enter and Escape would end a dialog; this one lives as long as full screen.
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }

private:
    QWidget* Make(const TemplateItem& item) {
        const QString text = item.text ? QString::fromLatin1(item.text) : QString();
        QWidget* widget = nullptr;
        switch (item.kind) {
        case Kind::Group: widget = new QGroupBox(text, this); break;
        case Kind::Button: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            const int id = item.id;
            connect(button, &QPushButton::clicked, this, [this, id] { m_dialog.OnButton(id); });
            widget = button;
            break;
        }
        case Kind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            widget = edit;
            break;
        }
        case Kind::HScroll: {
            auto* bar = new QScrollBar(Qt::Horizontal, this);
            bar->setPalette(SliderColours(bar->palette()));
            bar->setRange(0, CControlPanelDlg::kSliderScale);
            bar->setSingleStep(kLineStep);
            bar->setPageStep(kPageStep);
            bar->setValue(0);
            const int id = item.id;
            connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, id](int action) {
                if (const auto code = ScrollCodeOf(action)) m_dialog.OnHScroll(*code, bar->sliderPosition(), id);
            });
            widget = bar;
            break;
        }
        }
        if (item.id != kNoId) widget->setObjectName(QString::number(item.id));
        return widget;
    }

    CControlPanelDlg& m_dialog;
    std::vector<std::pair<const TemplateItem*, QWidget*>> m_items;
};

// --- the dialog object --------------------------------------------------------------------------

CControlPanelDlg::CControlPanelDlg(CPlayerDlg* player) : CAuxiliaryDialog(player) {}
CControlPanelDlg::~CControlPanelDlg() = default;

int CControlPanelDlg::GetValue(int kind) {
    switch (kind) {
    case kPanelSliderState: {
        const int changed = m_positionChanged == kPanelSliderMoved ? kPanelSliderMoved : 0;
        m_positionChanged = 0;
        return changed;
    }
    case kPanelPosition: return m_newPosition;
    case kPanelVolumeState: {
        const int changed = m_volumeChanged == kPanelVolumeMoved ? kPanelVolumeMoved : 0;
        m_volumeChanged = 0;
        return changed;
    }
    case kPanelVolumeLevel: return std::max(m_volumeSliderPosition / 8 - 1, 0);
    case kPanelButtonState: {
        const int pending = m_buttonPending == kPanelButtonPressed ? kPanelButtonPressed : 0;
        m_buttonPending = 0;
        return pending;
    }
    case kPanelButton: {
        const int command = m_buttonCommand;
        m_buttonCommand = kPanelButtonPolled;
        return command;
    }
    default: return 0;
    }
}

void CControlPanelDlg::SetValue(int kind, int value) {
    switch (kind) {
    case kPanelSetLength: m_length = value; break;
    case kPanelShowPosition:
        if (QScrollBar* bar = Bar(kIdPosition)) {
            bar->setRange(0, kSliderScale);
            // The thumb under the user's hand stays where it is dragged.
            if (bar->isSliderDown()) break;
            // A length of 0 (nothing measured) has no scale: the thumb rests at the start.
            const double thumb = m_length > 0 ? value / (m_length / static_cast<double>(kSliderScale)) : 0.0;
            bar->setValue(ClampToScale(thumb));
        }
        break;
    case kPanelShowVolume:
        if (QScrollBar* bar = Bar(kIdVolume)) {
            bar->setRange(0, kSliderScale);
            bar->setValue(ClampToScale(static_cast<double>(value) * 8 + 8));
        }
        break;
    case kPanelFitToScreen:
        m_screenWidth = std::max(0, value);
        if (m_window) m_window->LayOut(m_scale, m_screenWidth);
        break;
    default: break;
    }
}

void CControlPanelDlg::InitEffects(int scanLineMode, int /*ignored*/, int firstMask, int secondMask) {
    m_scanLineMode = scanLineMode;
    m_firstMask = firstMask;
    m_secondMask = secondMask;
    ShowEffects();
}

int CControlPanelDlg::GetEffect(Effect kind) const {
    switch (kind) {
    case Effect::ScanLineMode: return m_scanLineMode;
    case Effect::Constant: return 1;
    case Effect::FirstMask: return m_firstMask;
    case Effect::SecondMask: return m_secondMask;
    }
    return 0;
}

void CControlPanelDlg::Create() {
    if (m_window) return;
    m_window = std::make_unique<ControlPanelWindow>(*this);
    if (m_scale != 1.0 || m_screenWidth >= 0) m_window->LayOut(m_scale, m_screenWidth);
    ShowEffects();
}

void CControlPanelDlg::DestroyWindow() { m_window.reset(); }
bool CControlPanelDlg::Exists() const { return m_window != nullptr; }
QWidget* CControlPanelDlg::Window() const { return m_window.get(); }

double CControlPanelDlg::ScaleForScreen(int screenRows) {
    if (screenRows <= 0) return 1.0;
    return std::clamp(screenRows / kTemplateScreenRows, 1.0, kMaxPanelScale);
}

void CControlPanelDlg::ShowTopmost(const QRect& rect) {
    if (!m_window) return;
    if (rect.isEmpty()) {
        ShowTopmostAt(*m_window, rect);
        return;
    }
    // Sized for the screen it is shown on: the strip keeps its bottom edge and grows upwards.
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const double scale = ScaleForScreen(screen ? screen->geometry().height() : 0);
    if (scale != m_scale) {
        m_scale = scale;
        m_window->LayOut(m_scale, m_screenWidth);
    }
    const int height = int(std::lround(rect.height() * m_scale));
    ShowTopmostAt(*m_window, QRect(rect.x(), rect.y() + rect.height() - height, rect.width(), height));
}

void CControlPanelDlg::ShowAtBottom() {
    if (!m_window) return;
    m_window->lower();
    m_window->hide();
}

QWidget* CControlPanelDlg::Control(int id) const {
    if (!m_window) return nullptr;
    return m_window->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QScrollBar* CControlPanelDlg::Bar(int id) const { return qobject_cast<QScrollBar*>(Control(id)); }

void CControlPanelDlg::ShowEffects() {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kIdScanLineMode))) edit->setText(ModeName(m_scanLineMode));
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kIdFirstMask))) edit->setText(MaskText(m_firstMask));
    if (auto* edit = qobject_cast<QLineEdit*>(Control(kIdSecondMask))) edit->setText(MaskText(m_secondMask));
}

void CControlPanelDlg::OnButton(int id) {
    switch (id) {
    case kIdPlayPause:
        m_buttonCommand = m_alternation;
        m_alternation = m_alternation == 0 ? 1 : 0;
        m_buttonPending = kPanelButtonPressed;
        break;
    case kIdNext:
        m_buttonCommand = kPanelNext;
        m_buttonPending = kPanelButtonPressed;
        break;
    case kIdBack:
        m_buttonCommand = kPanelBack;
        m_buttonPending = kPanelButtonPressed;
        break;
    case kIdModeUp: m_scanLineMode = m_scanLineMode < kMaxScanLineMode ? m_scanLineMode + 1 : kMaxScanLineMode; break;
    case kIdModeDown: m_scanLineMode = m_scanLineMode > 0 ? m_scanLineMode - 1 : 0; break;
    case kIdFirstMaskUp: m_firstMask = std::min(m_firstMask + 1, kMaxMaskSize); break;
    case kIdFirstMaskDown: m_firstMask = std::max(m_firstMask - 1, 0); break;
    case kIdSecondMaskUp: m_secondMask = std::min(m_secondMask + 1, kMaxMaskSize); break;
    case kIdSecondMaskDown: m_secondMask = std::max(m_secondMask - 1, 0); break;
    default: return;
    }
    ShowEffects();
}

void CControlPanelDlg::OnHScroll(ScrollCode code, int thumbPosition, int barId) {
    QScrollBar* bar = Bar(barId);
    if (bar == nullptr || (barId != kIdVolume && barId != kIdPosition)) return;
    if (QScrollBar* volume = Bar(kIdVolume)) volume->setRange(0, kSliderScale);
    bar->setRange(0, kSliderScale);
    int v = bar->value();
    switch (code) {
    case ScrollCode::LineUp: v -= kLineStep; break;
    case ScrollCode::LineDown: v += kLineStep; break;
    case ScrollCode::PageUp: v -= kPageStep; break;
    case ScrollCode::PageDown: v += kPageStep; break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack: v = thumbPosition; break;
    case ScrollCode::Top: v = 0; break;
    case ScrollCode::Bottom: v = kSliderScale; break;
    case ScrollCode::EndScroll: break;
    }
    v = std::clamp(v, 0, kSliderScale);
    // Inside the bar's own action the slider position decides where it ends up.
    bar->setSliderPosition(v);
    bar->setValue(v);
    if (barId == kIdVolume) {
        m_volumeSliderPosition = v;
        m_volumeChanged = kPanelVolumeMoved;
    } else {
        m_positionChanged = kPanelSliderMoved;
        m_newPosition = static_cast<int>(m_length / static_cast<double>(kSliderScale) * v);
    }
}
