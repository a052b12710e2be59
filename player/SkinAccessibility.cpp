#include "player/SkinAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "playback/OpenTrack.h"
#include "render/Composition.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

namespace {

using skin::Rect;

// The zoom pair is one piece of art: its left half makes the video smaller, its right half larger.
constexpr Rect kZoomOut{skin::kZoom.x, skin::kZoom.y, skin::kZoom.w / 2, skin::kZoom.h};
constexpr Rect kZoomIn{skin::kZoom.x + skin::kZoom.w / 2, skin::kZoom.y, skin::kZoom.w / 2, skin::kZoom.h};
constexpr Rect kPositionBar{skin::kPositionKnobX, skin::kPositionKnobY, kSeekBarWidth + skin::kPositionKnob.w,
                            skin::kPositionKnob.h};
constexpr Rect kVolumeBar{skin::kVolumeKnobX, skin::kVolumeKnobY, kVolumeBarWidth + skin::kVolumeKnob.w,
                          skin::kVolumeKnob.h};
constexpr Rect kTimeField{skin::kTimeMinusX, skin::kTimeY,
                          skin::kTimeCellX + 8 * skin::kTimeCellPitch - skin::kTimeMinusX, skin::kLargeGlyphHeight};

WindowPoint Centre(const Rect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }

// A title line without its leading blanks and its end mark.
std::string Trimmed(std::string line) {
    const auto notBlank = [](char c) { return c != ' ' && c != '|'; };
    line.erase(line.begin(), std::find_if(line.begin(), line.end(), notBlank));
    line.erase(std::find_if(line.rbegin(), line.rend(), notBlank).base(), line.end());
    return line;
}

int Travel(int index) { return index == kHotspotPosition ? kSeekBarWidth : kVolumeBarWidth; }

// --- one hotspot ----------------------------------------------------------------------------

// A child of the main window without an object or children of its own: a hotspot or the
// announcement.
class SkinChildAccessible : public QAccessibleInterface {
public:
    explicit SkinChildAccessible(SkinAccess& access) : m_access(access) {}
    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_access.Window().windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(&m_access.Window()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

protected:
    SkinAccess& m_access;
};

class HotspotAccessible final : public SkinChildAccessible,
                                public QAccessibleActionInterface,
                                public QAccessibleValueInterface {
public:
    HotspotAccessible(SkinAccess& access, int index) : SkinChildAccessible(access), m_index(index) {}

    QString text(QAccessible::Text t) const override {
        const Hotspot& h = kHotspots[size_t(m_index)];
        switch (t) {
        case QAccessible::Name: {
            const std::string shown = m_access.ShownText(m_index);
            QString name = QString::fromUtf8(h.name);
            if (!shown.empty()) name += QStringLiteral(": ") + QString::fromStdString(shown);
            return name;
        }
        case QAccessible::Description: return QString::fromUtf8(h.description);
        case QAccessible::Value:
            if (h.role == HotspotRole::Slider) return QString::number(m_access.SliderValue(m_index)) + QLatin1Char('%');
            return QString::fromStdString(m_access.ShownText(m_index));
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const Rect r = m_access.Area(m_index);
        return QRect(m_access.Window().mapToGlobal(QPoint(r.x, r.y)), QSize(r.w, r.h));
    }
    QAccessible::Role role() const override {
        switch (kHotspots[size_t(m_index)].role) {
        case HotspotRole::Button: return QAccessible::Button;
        case HotspotRole::Toggle: return QAccessible::CheckBox;
        case HotspotRole::Slider: return QAccessible::Slider;
        case HotspotRole::Text: return QAccessible::StaticText;
        }
        return QAccessible::Button;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        const QWidget& w = m_access.Window();
        s.invisible = !w.isVisible();
        s.offscreen = w.isMinimized();
        s.focusable = true;
        s.focused = m_access.Focused() == m_index && w.hasFocus();
        if (kHotspots[size_t(m_index)].role == HotspotRole::Toggle) {
            s.checkable = true;
            s.checked = m_access.Checked(m_index);
        }
        if (kHotspots[size_t(m_index)].role == HotspotRole::Text) s.readOnly = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::ValueInterface && kHotspots[size_t(m_index)].role == HotspotRole::Slider)
            return static_cast<QAccessibleValueInterface*>(this);
        return nullptr;
    }

    // Actions.
    QStringList actionNames() const override {
        switch (kHotspots[size_t(m_index)].role) {
        case HotspotRole::Slider: return {increaseAction(), decreaseAction(), setFocusAction()};
        case HotspotRole::Toggle: return {toggleAction(), setFocusAction()};
        default: return {pressAction(), setFocusAction()};
        }
    }
    void doAction(const QString& name) override {
        if (name == setFocusAction()) {
            m_access.Window().activateWindow();
            m_access.Window().setFocus(Qt::OtherFocusReason);
            m_access.SetFocused(m_index);
        } else if (name == increaseAction() || name == decreaseAction()) {
            m_access.SetSliderValue(m_index, m_access.SliderValue(m_index) + (name == increaseAction() ? 5 : -5));
        } else if (name == pressAction() || name == toggleAction()) {
            m_access.Press(m_index);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Value: the knob's place on its bar, 0..100.
    QVariant currentValue() const override { return m_access.SliderValue(m_index); }
    void setCurrentValue(const QVariant& value) override { m_access.SetSliderValue(m_index, value.toInt()); }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const int m_index;
};

// --- what is said without the focus --------------------------------------------------------
//
// Orca speaks a name change only of the object that has the focus (and ignores it outright for
// labels), so a change of track would go unheard. What it speaks wherever the focus is, even
// with another window active, is a notification that becomes showing
// (object:state-changed:showing on a notification role): the text is this object's name.
class AnnouncementAccessible final : public SkinChildAccessible {
public:
    explicit AnnouncementAccessible(SkinAccess& access) : SkinChildAccessible(access) {}

    // No description: Orca would say it after every announcement.
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? QString::fromStdString(m_access.Announcement()) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const Rect r = skin::kDisplayLine;
        return QRect(m_access.Window().mapToGlobal(QPoint(r.x, r.y)), QSize(r.w, r.h));
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_access.Window().isVisible() || m_access.Announcement().empty();
        s.readOnly = true;
        return s;
    }
};

// --- the window -----------------------------------------------------------------------------

class SkinWindowAccessible final : public QAccessibleWidget {
public:
    SkinWindowAccessible(QWidget* window, SkinAccess& access)
        : QAccessibleWidget(window, QAccessible::Window), m_access(access) {
        m_access.SetExposed(true);
        for (int i = 0; i < kHotspotCount; ++i) {
            auto* child = new HotspotAccessible(access, i);
            m_ids.push_back(QAccessible::registerAccessibleInterface(child));
        }
        m_ids.push_back(QAccessible::registerAccessibleInterface(new AnnouncementAccessible(access)));
    }
    ~SkinWindowAccessible() override {
        m_access.SetExposed(false);
        for (QAccessible::Id id : m_ids) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return int(m_ids.size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount() ? QAccessible::accessibleInterface(m_ids[size_t(index)]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessible::accessibleInterface(m_ids[size_t(i)]) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint p = widget()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < kHotspotCount; ++i) {
            const Rect r = m_access.Area(i);
            if (QRect(r.x, r.y, r.w, r.h).contains(p)) return child(i);
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return m_access.Focused() >= 0 && widget()->hasFocus() ? child(m_access.Focused()) : nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QStringLiteral("VELKAF");
        if (t == QAccessible::Description) return QStringLiteral("Media player");
        return QAccessibleWidget::text(t);
    }

private:
    SkinAccess& m_access;
    std::vector<QAccessible::Id> m_ids;
};

QAccessibleInterface* SkinFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("CPlayerDlg") || object == nullptr || !object->isWidgetType()) return nullptr;
    auto* access = object->findChild<SkinAccess*>(QString(), Qt::FindDirectChildrenOnly);
    return access ? new SkinWindowAccessible(static_cast<QWidget*>(object), *access) : nullptr;
}

}  // namespace

const std::array<Hotspot, kHotspotCount> kHotspots = {{
    {"再生", "Play; opens the current entry when stopped", HotspotRole::Button, skin::kPlay},
    {"一時停止", "Pause, or play when paused", HotspotRole::Button, skin::kStill},
    {"停止", "Stop", HotspotRole::Button, skin::kStop},
    {"巻き戻し", "Search backward", HotspotRole::Button, skin::kRew},
    {"早送り", "Search forward", HotspotRole::Button, skin::kFf},
    {"前の曲", "Previous track; one frame back while paused", HotspotRole::Button, skin::kBack},
    {"次の曲", "Next track; one frame forward while paused", HotspotRole::Button, skin::kNext},
    {"ファイルを開く", "Open a file", HotspotRole::Button, skin::kFile},
    {"設定", "Settings", HotspotRole::Button, skin::kConfig},
    {"全画面", "Full screen", HotspotRole::Button, skin::kFull},
    {"終了", "Save and quit", HotspotRole::Button, skin::kPower},
    {"リピート", "Repeat the playlist", HotspotRole::Toggle, skin::kRepeat},
    {"シャッフル", "Play in shuffled order", HotspotRole::Toggle, skin::kShuffle},
    {"縮小", "Smaller video", HotspotRole::Button, kZoomOut},
    {"拡大", "Larger video", HotspotRole::Button, kZoomIn},
    {"最小化", "Minimise", HotspotRole::Button, skin::kMinimise},
    {"再生位置", "Playback position, percent of the track", HotspotRole::Slider, kPositionBar},
    {"音量", "Volume, percent", HotspotRole::Slider, kVolumeBar},
    {"タイトル", "Title of the track; press to switch between the tag and the file name", HotspotRole::Text,
     skin::kDisplayLine},
    {"時間", "Time; press for elapsed, remaining or the counter", HotspotRole::Text, kTimeField},
}};

SkinAccess::SkinAccess(QWidget& window, const PlayerState& state, const Settings& settings, Hooks hooks)
    : QObject(&window), m_window(window), m_state(state), m_settings(settings), m_hooks(std::move(hooks)) {
    qApp->installEventFilter(this);
}

SkinAccess::~SkinAccess() { qApp->removeEventFilter(this); }

void SkinAccess::InstallFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(SkinFactory);
        return true;
    }();
    (void)installed;
}

void SkinAccess::SetFocused(int index) {
    const int next = index >= 0 && index < kHotspotCount ? index : -1;
    if (next == m_focused) return;
    m_focused = next;
    m_window.update();
    if (m_focused >= 0) Notify(m_focused, QAccessible::Focus);
}

void SkinAccess::PaintFocus(QPainter& painter) const {
    if (m_focused < 0 || !m_window.hasFocus()) return;
    const Rect r = Area(m_focused);
    painter.save();
    // Two dashed outlines, white over black, one logical pixel outside the hotspot: visible on
    // every colour of the art.
    QPen pen(Qt::black, 1.0);
    painter.setPen(pen);
    painter.drawRect(QRectF(r.x - 0.5, r.y - 0.5, r.w + 1, r.h + 1));
    pen.setColor(Qt::white);
    pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.drawRect(QRectF(r.x - 0.5, r.y - 0.5, r.w + 1, r.h + 1));
    painter.restore();
}

bool SkinAccess::Press(int index) {
    if (index < 0 || index >= kHotspotCount || kHotspots[size_t(index)].role == HotspotRole::Slider) return false;
    if (m_hooks.click) m_hooks.click(Centre(kHotspots[size_t(index)].area));
    m_window.update();
    return true;
}

int SkinAccess::SliderValue(int index) const {
    if (index != kHotspotPosition && index != kHotspotVolume) return 0;
    const int knob = index == kHotspotPosition ? m_state.seekKnobX : m_state.volumeKnobX;
    return int(std::lround(100.0 * std::clamp(knob, 0, Travel(index)) / Travel(index)));
}

bool SkinAccess::SetSliderValue(int index, int percent) {
    if (index != kHotspotPosition && index != kHotspotVolume) return false;
    // The knob moves only while something plays (position) or after the volume's cooldown,
    // exactly as under the mouse.
    if (index == kHotspotPosition ? m_state.closed != 0 : m_state.inputCooldown != 0) return false;
    const int target = int(std::lround(std::clamp(percent, 0, 100) * Travel(index) / 100.0));
    const Rect knob = Area(index);
    const int dx = target - (index == kHotspotPosition ? m_state.seekKnobX : m_state.volumeKnobX);
    if (m_hooks.drag) m_hooks.drag(Centre(knob), dx);
    Notify(index, QAccessible::ValueChanged);
    m_window.update();
    return true;
}

bool SkinAccess::Checked(int index) const {
    if (index == kHotspotRepeat) return m_settings.repeat == 1;
    if (index == kHotspotShuffle) return m_settings.shuffle == 1;
    return false;
}

std::string SkinAccess::ShownText(int index) const {
    // Without the blanks and the end mark the ticker runs the line between.
    if (index == kHotspotTitle) return Trimmed(m_lines[m_state.marqueeLine == 0 ? 0 : 1]);
    if (index != kHotspotTime || m_state.closed != 0) return {};
    const TimeField f = TimeFieldFor(m_state, m_state.polledPosition);
    std::string text = f.minus ? "-" : "";
    for (int cell : f.cells) {
        switch (cell) {
        case skin::kGlyphHour:
        case skin::kGlyphMinute: text += ':'; break;
        case skin::kGlyphSecond: break;
        default: text += char('0' + cell);
        }
    }
    return text;
}

skin::Rect SkinAccess::Area(int index) const {
    if (index == kHotspotPosition)
        return {skin::kPositionKnobX + std::clamp(m_state.seekKnobX, 0, kSeekBarWidth), skin::kPositionKnobY,
                skin::kPositionKnob.w, skin::kPositionKnob.h};
    if (index == kHotspotVolume)
        return {skin::kVolumeKnobX + std::clamp(m_state.volumeKnobX, 0, kVolumeBarWidth), skin::kVolumeKnobY,
                skin::kVolumeKnob.w, skin::kVolumeKnob.h};
    return index >= 0 && index < kHotspotCount ? kHotspots[size_t(index)].area : Rect{0, 0, 0, 0};
}

void SkinAccess::TitleLinesChanged(const std::string& line1, const std::string& line2) {
    m_titleToSay = true;  // the same lines again are another track of the same name
    if (m_lines[0] == line1 && m_lines[1] == line2) return;
    m_lines = {line1, line2};
    Notify(kHotspotTitle, QAccessible::NameChanged);
}

std::string SkinAccess::TextToSay(bool titleChanged, int status, int& lastStatus) const {
    const int before = lastStatus;
    lastStatus = status;
    // The tag's line names the track better than the file name; a notice leading line 1
    // (no sound) is said before it.
    if (titleChanged) {
        const std::string second = Trimmed(m_lines[1]);
        const bool notice = m_lines[0].starts_with(kNoSoundNotice) && m_lines[1] != m_lines[0];
        return notice ? Trimmed(kNoSoundNotice) + "。" + second : second;
    }
    if (status == before || before < 0) return {};
    static const char* const kStatusWords[] = {"再生", "一時停止", "停止"};
    return kStatusWords[status];
}

void SkinAccess::Follow() {
    const int status = m_state.closed != 0 ? 2 : m_state.paused != 0 ? 1 : 0;
    std::string text = TextToSay(m_titleToSay, status, m_lastStatus);
    m_titleToSay = false;
    if (text.empty()) return;
    m_announcement = std::move(text);
    // Hidden first: each announcement is a new showing, even of the same text.
    Notify(kHotspotCount, QAccessible::ObjectHide);
    Notify(kHotspotCount, QAccessible::NameChanged);
    Notify(kHotspotCount, QAccessible::ObjectShow);
}

void SkinAccess::Notify(int index, int accessibleEvent) const {
    // Nothing is built unless something asked for the window's accessible object: without an
    // assistive technology no event is made and the factory is never called.
    if (!m_exposed) return;
    QAccessibleEvent event(&m_window, QAccessible::Event(accessibleEvent));
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

bool SkinAccess::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_window) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        SetFocused(-1);  // the mouse takes over; the mark would only be in the way
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (mods != Qt::NoModifier) return false;
        switch (key->key()) {
        case Qt::Key_Tab: SetFocused(m_focused < 0 ? 0 : (m_focused + 1) % kHotspotCount); return true;
        case Qt::Key_Backtab: SetFocused(m_focused <= 0 ? kHotspotCount - 1 : m_focused - 1); return true;
        default: break;
        }
        if (m_focused < 0 || key->modifiers() & Qt::ShiftModifier) return false;
        const bool slider = kHotspots[size_t(m_focused)].role == HotspotRole::Slider;
        switch (key->key()) {
        case Qt::Key_Escape: SetFocused(-1); return true;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (slider) return false;
            if (!key->isAutoRepeat()) Press(m_focused);
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!slider) return false;
            SetSliderValue(m_focused, SliderValue(m_focused) + (key->key() == Qt::Key_Right ? 5 : -5));
            return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}
