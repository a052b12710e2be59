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
    explicit SkinChildAccessible(SkinAccess& access) : access_(access) {}
    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return access_.Window().windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(&access_.Window()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

protected:
    SkinAccess& access_;
};

class HotspotAccessible final : public SkinChildAccessible,
                                public QAccessibleActionInterface,
                                public QAccessibleValueInterface {
public:
    HotspotAccessible(SkinAccess& access, int index) : SkinChildAccessible(access), index_(index) {}

    QString text(QAccessible::Text t) const override {
        const Hotspot& h = kHotspots[size_t(index_)];
        switch (t) {
        case QAccessible::Name: {
            const std::string shown = access_.ShownText(index_);
            QString name = QString::fromUtf8(h.name);
            if (!shown.empty()) name += QStringLiteral(": ") + QString::fromStdString(shown);
            return name;
        }
        case QAccessible::Description: return QString::fromUtf8(h.description);
        case QAccessible::Value:
            if (h.role == HotspotRole::Slider) return QString::number(access_.SliderValue(index_)) + QLatin1Char('%');
            return QString::fromStdString(access_.ShownText(index_));
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const Rect r = access_.Area(index_);
        return QRect(access_.Window().mapToGlobal(QPoint(r.x, r.y)), QSize(r.w, r.h));
    }
    QAccessible::Role role() const override {
        switch (kHotspots[size_t(index_)].role) {
        case HotspotRole::Button: return QAccessible::Button;
        case HotspotRole::Toggle: return QAccessible::CheckBox;
        case HotspotRole::Slider: return QAccessible::Slider;
        case HotspotRole::Text: return QAccessible::StaticText;
        }
        return QAccessible::Button;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        const QWidget& w = access_.Window();
        s.invisible = !w.isVisible();
        s.offscreen = w.isMinimized();
        s.focusable = true;
        s.focused = access_.Focused() == index_ && w.hasFocus();
        if (kHotspots[size_t(index_)].role == HotspotRole::Toggle) {
            s.checkable = true;
            s.checked = access_.Checked(index_);
        }
        if (kHotspots[size_t(index_)].role == HotspotRole::Text) s.readOnly = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::ValueInterface && kHotspots[size_t(index_)].role == HotspotRole::Slider)
            return static_cast<QAccessibleValueInterface*>(this);
        return nullptr;
    }

    // Actions.
    QStringList actionNames() const override {
        switch (kHotspots[size_t(index_)].role) {
        case HotspotRole::Slider: return {increaseAction(), decreaseAction(), setFocusAction()};
        case HotspotRole::Toggle: return {toggleAction(), setFocusAction()};
        default: return {pressAction(), setFocusAction()};
        }
    }
    void doAction(const QString& name) override {
        if (name == setFocusAction()) {
            access_.Window().activateWindow();
            access_.Window().setFocus(Qt::OtherFocusReason);
            access_.SetFocused(index_);
        } else if (name == increaseAction() || name == decreaseAction()) {
            access_.SetSliderValue(index_, access_.SliderValue(index_) + (name == increaseAction() ? 5 : -5));
        } else if (name == pressAction() || name == toggleAction()) {
            access_.Press(index_);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Value: the knob's place on its bar, 0..100.
    QVariant currentValue() const override { return access_.SliderValue(index_); }
    void setCurrentValue(const QVariant& value) override { access_.SetSliderValue(index_, value.toInt()); }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const int index_;
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
        return t == QAccessible::Name ? QString::fromStdString(access_.Announcement()) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const Rect r = skin::kDisplayLine;
        return QRect(access_.Window().mapToGlobal(QPoint(r.x, r.y)), QSize(r.w, r.h));
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !access_.Window().isVisible() || access_.Announcement().empty();
        s.readOnly = true;
        return s;
    }
};

// --- the window -----------------------------------------------------------------------------

class SkinWindowAccessible final : public QAccessibleWidget {
public:
    SkinWindowAccessible(QWidget* window, SkinAccess& access)
        : QAccessibleWidget(window, QAccessible::Window), access_(access) {
        access_.SetExposed(true);
        for (int i = 0; i < kHotspotCount; ++i) {
            auto* child = new HotspotAccessible(access, i);
            ids_.push_back(QAccessible::registerAccessibleInterface(child));
        }
        ids_.push_back(QAccessible::registerAccessibleInterface(new AnnouncementAccessible(access)));
    }
    ~SkinWindowAccessible() override {
        access_.SetExposed(false);
        for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return int(ids_.size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount() ? QAccessible::accessibleInterface(ids_[size_t(index)]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessible::accessibleInterface(ids_[size_t(i)]) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint p = widget()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < kHotspotCount; ++i) {
            const Rect r = access_.Area(i);
            if (QRect(r.x, r.y, r.w, r.h).contains(p)) return child(i);
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return access_.Focused() >= 0 && widget()->hasFocus() ? child(access_.Focused()) : nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QStringLiteral("VELKAF");
        if (t == QAccessible::Description) return QStringLiteral("Media player");
        return QAccessibleWidget::text(t);
    }

private:
    SkinAccess& access_;
    std::vector<QAccessible::Id> ids_;
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
    : QObject(&window), window_(window), state_(state), settings_(settings), hooks_(std::move(hooks)) {
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
    if (next == focused_) return;
    focused_ = next;
    window_.update();
    if (focused_ >= 0) Notify(focused_, QAccessible::Focus);
}

void SkinAccess::PaintFocus(QPainter& painter) const {
    if (focused_ < 0 || !window_.hasFocus()) return;
    const Rect r = Area(focused_);
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
    if (hooks_.click) hooks_.click(Centre(kHotspots[size_t(index)].area));
    window_.update();
    return true;
}

int SkinAccess::SliderValue(int index) const {
    if (index != kHotspotPosition && index != kHotspotVolume) return 0;
    const int knob = index == kHotspotPosition ? state_.seekKnobX : state_.volumeKnobX;
    return int(std::lround(100.0 * std::clamp(knob, 0, Travel(index)) / Travel(index)));
}

bool SkinAccess::SetSliderValue(int index, int percent) {
    if (index != kHotspotPosition && index != kHotspotVolume) return false;
    // The knob moves only while something plays (position) or after the volume's cooldown,
    // exactly as under the mouse.
    if (index == kHotspotPosition ? state_.closed != 0 : state_.inputCooldown != 0) return false;
    const int target = int(std::lround(std::clamp(percent, 0, 100) * Travel(index) / 100.0));
    const Rect knob = Area(index);
    const int dx = target - (index == kHotspotPosition ? state_.seekKnobX : state_.volumeKnobX);
    if (hooks_.drag) hooks_.drag(Centre(knob), dx);
    Notify(index, QAccessible::ValueChanged);
    window_.update();
    return true;
}

bool SkinAccess::Checked(int index) const {
    if (index == kHotspotRepeat) return settings_.repeat == 1;
    if (index == kHotspotShuffle) return settings_.shuffle == 1;
    return false;
}

std::string SkinAccess::ShownText(int index) const {
    // Without the blanks and the end mark the ticker runs the line between.
    if (index == kHotspotTitle) return Trimmed(lines_[state_.marqueeLine == 0 ? 0 : 1]);
    if (index != kHotspotTime || state_.closed != 0) return {};
    const TimeField f = TimeFieldFor(state_, state_.polledPosition);
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
        return {skin::kPositionKnobX + std::clamp(state_.seekKnobX, 0, kSeekBarWidth), skin::kPositionKnobY,
                skin::kPositionKnob.w, skin::kPositionKnob.h};
    if (index == kHotspotVolume)
        return {skin::kVolumeKnobX + std::clamp(state_.volumeKnobX, 0, kVolumeBarWidth), skin::kVolumeKnobY,
                skin::kVolumeKnob.w, skin::kVolumeKnob.h};
    return index >= 0 && index < kHotspotCount ? kHotspots[size_t(index)].area : Rect{0, 0, 0, 0};
}

void SkinAccess::TitleLinesChanged(const std::string& line1, const std::string& line2) {
    titleToSay_ = true;  // the same lines again are another track of the same name
    if (lines_[0] == line1 && lines_[1] == line2) return;
    lines_ = {line1, line2};
    Notify(kHotspotTitle, QAccessible::NameChanged);
}

std::string SkinAccess::TextToSay(bool titleChanged, int status, int& lastStatus) const {
    const int before = lastStatus;
    lastStatus = status;
    // The tag's line names the track better than the file name; a notice leading line 1
    // (no sound) is said before it.
    if (titleChanged) {
        const std::string second = Trimmed(lines_[1]);
        const bool notice = lines_[0].starts_with(kNoSoundNotice) && lines_[1] != lines_[0];
        return notice ? Trimmed(kNoSoundNotice) + "。" + second : second;
    }
    if (status == before || before < 0) return {};
    static const char* const kStatusWords[] = {"再生", "一時停止", "停止"};
    return kStatusWords[status];
}

void SkinAccess::Follow() {
    const int status = state_.closed != 0 ? 2 : state_.paused != 0 ? 1 : 0;
    std::string text = TextToSay(titleToSay_, status, lastStatus_);
    titleToSay_ = false;
    if (text.empty()) return;
    announcement_ = std::move(text);
    // Hidden first: each announcement is a new showing, even of the same text.
    Notify(kHotspotCount, QAccessible::ObjectHide);
    Notify(kHotspotCount, QAccessible::NameChanged);
    Notify(kHotspotCount, QAccessible::ObjectShow);
}

void SkinAccess::Notify(int index, int accessibleEvent) const {
    // Nothing is built unless something asked for the window's accessible object: without an
    // assistive technology no event is made and the factory is never called.
    if (!exposed_) return;
    QAccessibleEvent event(&window_, QAccessible::Event(accessibleEvent));
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

bool SkinAccess::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        SetFocused(-1);  // the mouse takes over; the mark would only be in the way
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (mods != Qt::NoModifier) return false;
        switch (key->key()) {
        case Qt::Key_Tab: SetFocused(focused_ < 0 ? 0 : (focused_ + 1) % kHotspotCount); return true;
        case Qt::Key_Backtab: SetFocused(focused_ <= 0 ? kHotspotCount - 1 : focused_ - 1); return true;
        default: break;
        }
        if (focused_ < 0 || key->modifiers() & Qt::ShiftModifier) return false;
        const bool slider = kHotspots[size_t(focused_)].role == HotspotRole::Slider;
        switch (key->key()) {
        case Qt::Key_Escape: SetFocused(-1); return true;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (slider) return false;
            if (!key->isAutoRepeat()) Press(focused_);
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!slider) return false;
            SetSliderValue(focused_, SliderValue(focused_) + (key->key() == Qt::Key_Right ? 5 : -5));
            return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}
