#include <sys/stat.h>
#include <unistd.h>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <set>
#include "settings/SettingsFile.h"
#include "settings/dialog/CSettingsDlg.h"
#include "settings/dialog/SettingsDialog.h"
#include "state/PlayerState.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {
std::string Dump(const Settings& s) {  // every field on a line of its own, so a failure names it
    std::string lines;
    for (int n = 0; n < kSettingCount; ++n) lines += "=\n";
    return FormatSettings(lines, s);
}

Settings Distinct() {  // every field off its default, so a field copied to the wrong place shows
    Settings s;
    s.mainX = 11; s.videoY = 14; s.wheel2Mode = 3; s.scanLineMode = 2; s.shuffle = 1; s.repeat = 0;
    s.backgroundFile = "sky.bmp";
    for (int i = 0; i < 8; ++i) s.searchSpeed[i] = (i % 2 ? -1 : 1) * (101 + i);
    return s;
}

QString U(const char* text) { return QString::fromUtf8(text); }
QComboBox* Combo(CSettingsDlg& dlg) { return qobject_cast<QComboBox*>(dlg.Item(1075)); }
void Click(CSettingsDlg& dlg, int id) { QTest::mouseClick(dlg.Item(id), Qt::LeftButton); }
void Type(QWidget* field, const std::string& text) {  // over the whole text
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier); QTest::keyClicks(field, QString::fromStdString(text));
}
void Choose(QComboBox* combo, const char* text) {  // with the arrow keys
    for (const int index = combo->findText(U(text)); index >= 0 && combo->currentIndex() != index;)
        QTest::keyClick(combo, combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
}

struct SettingsDialogTest : ::testing::Test {
    SettingsDialogTest() { TestApplication(); }
    // CONFIG's entry point; `act` runs inside the modal loop, a dialog left open is cancelled; true: "OK" taken.
    bool Open(const std::function<void(CSettingsDlg&)>& act, QWidget* parent = nullptr) {
        ModalAnswer<CSettingsDlg> answer(act);
        placed = -1;
        const bool taken = OpenSettingsDialog(parent, settings, state, folder.path(), [&](bool t) { placed = t; });
        EXPECT_EQ(taken, placed >= 0);  // the main window is placed after "OK" only
        return taken;
    }
    TempFolder folder; Settings settings = Distinct(); PlayerState state;
    int placed = -1;  // the topmost choice the main window was placed with
};

// Each radio group (first button, field, buttons) checks the button of its field and "OK" stores the next one; a value
// out of range checks none and is kept. Each speed edit shows its speed; "OK" refuses a non-integer with the standard
// message, selected for retyping.
TEST_F(SettingsDialogTest, EachControlShowsItsFieldAndOkStoresWhatTheUserSet) {
    const std::tuple<int, int Settings::*, int> groups[] = {
        {1032, &Settings::wheelModePaused, 2}, {1034, &Settings::wheelModePlaying, 2},
        {1037, &Settings::doubleClickPanel, 2}, {1046, &Settings::hideCursor, 2}, {1069, &Settings::autoPlay, 2},
        {1050, &Settings::alwaysOnTop, 2}, {1067, &Settings::keepVideoSize, 2}, {1048, &Settings::pausedSearchSlow, 2},
        {1090, &Settings::gainMode, 4}};  // the loudness group, below the template
    for (const auto& [firstId, field, buttons] : groups)
        for (const int value : {0, 1, 2, 3, 7}) {
            if (value >= buttons && value != 7) continue;
            (settings = Distinct()).*field = value;
            Settings expected = settings;
            if (value < buttons) expected.*field = (value + 1) % buttons;
            EXPECT_TRUE(Open([&, id = firstId, n = buttons](CSettingsDlg& dlg) {
                for (int b = 0; b < n; ++b)
                    EXPECT_EQ(qobject_cast<QRadioButton*>(dlg.Item(id + b))->isChecked(), b == value) << id + b;
                if (value < n) Click(dlg, id + (value + 1) % n);
                Click(dlg, 1);
            }));
            EXPECT_EQ(Dump(settings), Dump(expected)) << "group " << firstId << " showing " << value;
        }
    const std::tuple<int, int, const char*> speeds[] = {
        {1077, 1, ""},     {1084, 0, "1.5"},  {1081, 5, "12abc"},       {1080, 4, "- 5"},
        {1079, 3, "0x10"}, {1078, 2, "２０００"}, {1083, 7, "-2147483649"}, {1082, 6, "2147483648"}};
    for (const auto& [id, index, refused] : speeds) {
        Settings expected = settings = Distinct();
        expected.searchSpeed[index] *= 3;
        bool message = false;
        EXPECT_TRUE(Open([&, id = id, refused = refused](CSettingsDlg& dlg) {
            auto* edit = qobject_cast<QLineEdit*>(dlg.Item(id));
            const int tripled = 3 * edit->text().toInt();
            edit->setText(U(refused)); Click(dlg, 1);
            if (auto* box = dlg.findChild<QMessageBox*>()) {
                message = box->text() == U("整数を入力してください。") && edit->selectedText() == refused;
                box->done(0);
            }
            const std::string n = std::to_string(tripled);
            Type(edit, tripled < 0 ? " " + n + " " : "+" + n); Click(dlg, 1);
        }));
        EXPECT_TRUE(message) << refused;
        EXPECT_EQ(Dump(settings), Dump(expected)) << id << " after " << refused;
    }
    settings = Distinct();  // "初期化" writes the eight defaults, which "OK" keeps
    EXPECT_TRUE(Open([](CSettingsDlg& dlg) { Click(dlg, 1085); Click(dlg, 1); }));
    EXPECT_TRUE(std::equal(std::begin(kDefaultSearchSpeed), std::end(kDefaultSearchSpeed), settings.searchSpeed));
}

TEST_F(SettingsDialogTest, CancellingDiscardsEveryChangeAndOkPlacesTheMainWindow) {
    folder.Write("bg/night.bmp", "BM");
    const Settings before = settings;
    const std::function<void(CSettingsDlg&)> ways[] = {
        [](CSettingsDlg& dlg) { Click(dlg, 2); }, [](CSettingsDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); },
        [](CSettingsDlg& dlg) { dlg.close(); }};
    for (const auto& dismiss : ways)
        EXPECT_FALSE(Open([&](auto& d) { Click(d, 1047); Click(d, 1085); Choose(Combo(d), "night.bmp"); dismiss(d); }));
    state.speed = -9;  // a search runs: nothing opens
    EXPECT_FALSE(Open([](CSettingsDlg& dlg) { Click(dlg, 1); }));
    QPointer<QWidget> parent = new QWidget;  // a parent gone meanwhile ends it as cancelled
    state.speed = 0; parent->show();
    EXPECT_FALSE(Open([&](CSettingsDlg& dlg) { Click(dlg, 1047); delete parent.data(); }, parent));
    EXPECT_EQ(Dump(settings), Dump(before));
    EXPECT_EQ(state.backgroundReload.Get(), 0);
    // "OK" by button or by Enter in an edit places the main window by the topmost choice.
    for (const auto& [onTop, click] : {std::pair(0, 1051), {1, 1050}, {0, 0}, {1, 0}}) {
        settings.alwaysOnTop = onTop;
        EXPECT_TRUE(Open([&, click = click](CSettingsDlg& dlg) {
            if (click == 0) return QTest::keyClick(qobject_cast<QLineEdit*>(dlg.Item(1078)), Qt::Key_Return);
            Click(dlg, click); Click(dlg, 1);
        }));
        const int top = click ? 1 - onTop : onTop;  // the button clicked turns the stored choice over
        EXPECT_EQ(std::make_pair(placed, settings.alwaysOnTop), std::make_pair(top, top)) << onTop << " " << click;
    }
}

TEST_F(SettingsDialogTest, ChoosingAPictureStoresItsNameTypingChangesNothing) {
    EXPECT_EQ(Combo(*std::make_unique<CSettingsDlg>(settings, folder.path()))->count(), 1);  // no bg folder
    const std::string bg = folder.path() + "bg/";
    for (const char* name : {"sky.bmp.bmp", "sky.bmp", "night.bmp", "\x94\x77\x8C\x69.bmp", "a.txt", "sub.bmp/a.bmp"})
        folder.Write(std::string("bg/") + name, "BM");  // besides a link to nothing and a pipe, none offered
    ASSERT_EQ(::symlink("gone", (bg + "dangling.bmp").c_str()) + ::mkfifo((bg + "pipe.bmp").c_str(), 0600), 0);
    const auto type = [](const char* text, Qt::Key end) {
        return [=](QComboBox* combo) {
            QFocusEvent leaving(QEvent::FocusOut, Qt::TabFocusReason);
            Type(combo, text);
            end == Qt::Key_Tab ? void(QApplication::sendEvent(combo, &leaving)) : QTest::keyClick(combo, end);
        };
    };
    const std::tuple<const char*, const char*, std::function<void(QComboBox*)>, const char*> cases[] = {
        {"sky.bmp", "sky.bmp", nullptr, "sky.bmp"},  // its own entry, not the longer name
        {"NIG", "night.bmp", nullptr, "NIG"},        // the first entry starting with it, any case
        {"gone.bmp", "デフォルト", nullptr, "gone.bmp"},
        {"背景.bmp", "背景.bmp", [](QComboBox* c) { Choose(c, "デフォルト"); }, "デフォルト"},
        {"sky.bmp", "sky.bmp", [](QComboBox* c) { Choose(c, "背景.bmp"); }, "\x94\x77\x8C\x69.bmp"},  // its own bytes
        {"sky.bmp", "sky.bmp", [](QComboBox* c) { Choose(c, "night.bmp"); Choose(c, "sky.bmp"); }, "sky.bmp"},
        {"sky.bmp", "sky.bmp", type("night.bmp", Qt::Key_Return), "sky.bmp"},
        {"sky.bmp", "sky.bmp", type("night.bmp", Qt::Key_Tab), "sky.bmp"},  // leaving the field
        {"sky.bmp", "sky.bmp", type("NIGHT.BMP", Qt::Key_Enter), "sky.bmp"},
    };
    for (const auto& [stored, visible, act, storedAfter] : cases) {
        settings.backgroundFile = stored;
        state.backgroundReload.Clear();
        EXPECT_TRUE(Open([&, visible = visible, act = act](CSettingsDlg& dlg) {
            QComboBox* c = Combo(dlg);
            const QString none = U("デフォルト");
            std::set<QString> offered = {none};
            for (int i = 1; i < c->count(); ++i) offered.insert(c->itemText(i));
            EXPECT_EQ(offered, (std::set<QString>{none, "sky.bmp.bmp", "sky.bmp", "night.bmp", U("背景.bmp")}));
            EXPECT_EQ(c->itemText(0) + c->itemText(c->currentIndex()), none + U(visible));
            if (act) act(c);
            if (dlg.isVisible()) Click(dlg, 1);
        }));
        EXPECT_EQ(settings.backgroundFile, storedAfter) << stored << " then " << visible;
        EXPECT_EQ(state.backgroundReload.Get(), storedAfter != std::string(stored) ? 1 : 0) << storedAfter;
    }
}
}  // namespace
