// The settings dialog as a user meets it: its texts and layout, what each control does to
// Settings after "OK", what "ｷｬﾝｾﾙ" leaves alone, the reset of the speeds, the pictures
// offered from the bg folder, the rule that it opens only without a running search, and
// speed texts that are not integers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <dirent.h>
#include <fcntl.h>

#include <climits>
#include <functional>
#include <set>
#include <sstream>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "state/PlayerState.h"
#include "state/Settings.h"
#include "settings/dialog/CSettingsDlg.h"
#include "settings/dialog/SettingsDialog.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

QApplication& App() { return TestApplication(); }

QString U(const char* text) { return QString::fromUtf8(text); }

// Every field, so a comparison names the one that differs.
std::string Dump(const Settings& s) {
    std::ostringstream out;
    out << "main " << s.mainX << ',' << s.mainY << " video " << s.videoX << ',' << s.videoY
        << " wheelPlaying " << s.wheelModePlaying << " wheelPaused " << s.wheelModePaused
        << " wheel2 " << s.wheel2Mode << " dblClick " << s.doubleClickPanel << " hideCursor "
        << s.hideCursor << " scan " << s.scanLineMode << " mask " << s.lineMaskTop << ','
        << s.lineMaskBottom << " pausedSlow " << s.pausedSearchSlow << " onTop " << s.alwaysOnTop
        << " shuffle " << s.shuffle << " repeat " << s.repeat << " folder '" << s.lastTrackFolder
        << "' list '" << s.lastListFile << "' editor " << s.editorX << ',' << s.editorY << ','
        << s.editorWidth << ',' << s.editorHeight << " keepSize " << s.keepVideoSize << " size "
        << s.videoSizeMode << " fit " << s.fullScreenFit << " autoPlay " << s.autoPlay << " bg '"
        << s.backgroundFile << "' speeds";
    for (int v : s.searchSpeed) out << ' ' << v;
    return out.str();
}

// A record whose fields all differ from the defaults, so a field copied to the wrong place
// shows.
Settings Distinct() {
    Settings s;
    s.mainX = 11; s.mainY = 12; s.videoX = 13; s.videoY = 14;
    s.wheel2Mode = 3; s.scanLineMode = 2; s.lineMaskTop = 5; s.lineMaskBottom = 6;
    s.shuffle = 1; s.repeat = 0; s.lastTrackFolder = "/music/"; s.lastListFile = "/music/a.tsr";
    s.editorX = 30; s.editorY = 40; s.editorWidth = 250; s.editorHeight = 300;
    s.videoSizeMode = 2; s.fullScreenFit = 5; s.backgroundFile = "sky.bmp";
    for (int i = 0; i < 8; ++i) s.searchSpeed[i] = (i % 2 ? -1 : 1) * (101 + i);
    return s;
}

QRadioButton* Radio(CSettingsDlg& dlg, int id) { return qobject_cast<QRadioButton*>(dlg.Item(id)); }
QLineEdit* Edit(CSettingsDlg& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.Item(id)); }
QComboBox* Combo(CSettingsDlg& dlg) { return qobject_cast<QComboBox*>(dlg.Item(1075)); }
void Click(CSettingsDlg& dlg, int id) { QTest::mouseClick(dlg.Item(id), Qt::LeftButton); }

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(edit, text);
    } else {
        // Japanese text arrives committed by the input method.
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(edit, &commit);
    }
}

// Chooses the entry with `text` the way a keyboard user does: Home, then Down to it.
void Choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text, Qt::MatchExactly);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentText(), text);
}

std::vector<std::string> EntryTexts(QComboBox* combo) {
    std::vector<std::string> texts;
    for (int i = 0; i < combo->count(); ++i) texts.push_back(combo->itemText(i).toStdString());
    return texts;
}

QMessageBox* OpenMessageBox(CSettingsDlg& dlg) {
    for (QMessageBox* box : dlg.findChildren<QMessageBox*>())
        if (box->isVisible()) return box;
    return nullptr;
}

struct Outcome {
    bool result = false;
    bool shown = false;
    int placeCalls = 0;
    bool placedTopmost = false;
};

struct SettingsDialogTest : ::testing::Test {
    SettingsDialogTest() { App(); }

    // Runs the entry point; `act` works on the dialog once its modal loop runs. A dialog
    // that `act` leaves open is cancelled, so no test can hang.
    Outcome Open(const std::function<void(CSettingsDlg&)>& act, QWidget* parent = nullptr) {
        Outcome outcome;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QPointer<CSettingsDlg> dlg = qobject_cast<CSettingsDlg*>(QApplication::activeModalWidget());
            if (!dlg) return;
            outcome.shown = true;
            act(*dlg);
            if (dlg && dlg->isVisible()) {
                if (QMessageBox* box = OpenMessageBox(*dlg)) box->done(0);
                dlg->reject();
            }
        });
        timer.start(0);
        outcome.result = OpenSettingsDialog(parent, settings, state, folder.path(), [&](bool topmost) {
            ++outcome.placeCalls;
            outcome.placedTopmost = topmost;
        });
        return outcome;
    }

    void MakeBackgrounds(std::initializer_list<const char*> names) {
        for (const char* name : names) folder.Write(std::string("bg/") + name, "BM");
    }

    TempFolder folder;
    Settings settings = Distinct();
    PlayerState state;
};

// --- texts and layout ------------------------------------------------------------------------

TEST_F(SettingsDialogTest, ShowsEveryTextOfTheTemplate) {
    CSettingsDlg dlg(settings, folder.path());
    EXPECT_EQ(dlg.windowTitle(), U("操作設定ダイアログ"));

    std::multiset<QString> groups, labels;
    for (QGroupBox* box : dlg.findChildren<QGroupBox*>()) groups.insert(box->title());
    for (QLabel* label : dlg.findChildren<QLabel*>())
        if (!label->isHidden()) labels.insert(label->text());
    EXPECT_EQ(groups, (std::multiset<QString>{
                          U("ホイールの設定"), U("一時停止からの動作"), U("再生中からの動作"),
                          U("最大化時の設定"), U("マウスカーソルの設定"), U("起動後すぐに再生"),
                          U("ウインドウの設定"), U("動画ウインドウの表示サイズ保存"),
                          U("サーチの速度(mms)"), U("再生中からの速度"), U("一時停止からの速度"),
                          U("バックグラウンドの指定")}));
    EXPECT_EQ(labels, (std::multiset<QString>{
                          U("前後コマ送り"), U("スロー～早送り"), U("前後早送り"), U("スロー～早送り"),
                          U("左クリックで再生/一時停止。"), U("ダブルクリックで操作パネル表示"),
                          U("最大化時マウスカーソルを隠す"), U("常に手前に表示"), U("左クリック"),
                          U("右クリック")}));

    struct Control { int id; const char* text; bool visible; };
    const Control controls[] = {
        {1032, "MODE1", true}, {1033, "MODE2", true}, {1034, "MODE1", true}, {1035, "MODE2", true},
        {1037, "OFF", true},   {1038, "ON", true},    {1046, "OFF", true},   {1047, "ON", true},
        {1069, "OFF", true},   {1070, "ON", true},    {1050, "OFF", true},   {1051, "ON", true},
        {1067, "OFF", true},   {1068, "ON", true},    {1048, "OFF", false},  {1049, "ON", false},
        {1085, "初期化", true}, {1, "OK", true},       {2, "ｷｬﾝｾﾙ", true},
    };
    for (const Control& c : controls) {
        auto* button = qobject_cast<QAbstractButton*>(dlg.Item(c.id));
        ASSERT_NE(button, nullptr) << c.id;
        EXPECT_EQ(button->text(), U(c.text)) << c.id;
        EXPECT_EQ(!button->isHidden(), c.visible) << c.id;
    }
    for (int id : {1077, 1078, 1079, 1080, 1081, 1082, 1083, 1084}) EXPECT_NE(Edit(dlg, id), nullptr) << id;
    EXPECT_NE(Combo(dlg), nullptr);
    EXPECT_TRUE(qobject_cast<QPushButton*>(dlg.Item(1))->isDefault());
}

TEST_F(SettingsDialogTest, IsLaidOutInDialogUnitsOfItsFontWithoutClippingOrOverlap) {
    CSettingsDlg dlg(settings, folder.path());
    dlg.show();
    const QFontInfo info(dlg.font());
    EXPECT_EQ(info.pixelSize(), 12);
    if (QFontInfo(QFont(U("IPAPGothic"))).family() == U("IPAPGothic")) {
        EXPECT_EQ(info.family(), U("IPAPGothic"));
    }

    // 254 x 245 units: a quarter of the average letter width, an eighth of the height.
    const QFontMetrics metrics(dlg.font());
    const double average = metrics.horizontalAdvance(U("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    EXPECT_EQ(dlg.width(), int(std::lround(254 * std::lround(average) / 4.0)));
    EXPECT_EQ(dlg.height(), int(std::lround(245 * metrics.height() / 8.0)));
    EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(dlg.palette().color(QPalette::WindowText), QColor(Qt::white));

    std::vector<QWidget*> controls;
    for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden()) continue;
        EXPECT_TRUE(dlg.rect().contains(w->geometry())) << w->metaObject()->className();
        if (auto* box = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LT(metrics.horizontalAdvance(box->title()) + 12, box->width()) << box->title().toStdString();
            continue;
        }
        controls.push_back(w);
        if (qobject_cast<QLabel*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << "clipped: " << w->objectName().toStdString();
        }
    }
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " overlaps " << controls[j]->objectName().toStdString();
}

// --- each control and its field ---------------------------------------------------------------

struct RadioCase {
    int firstId;
    int Settings::*field;
    const char* name;
};
const RadioCase kRadioCases[] = {
    {1032, &Settings::wheelModePaused, "wheelModePaused"},
    {1034, &Settings::wheelModePlaying, "wheelModePlaying"},
    {1037, &Settings::doubleClickPanel, "doubleClickPanel"},
    {1046, &Settings::hideCursor, "hideCursor"},
    {1069, &Settings::autoPlay, "autoPlay"},
    {1050, &Settings::alwaysOnTop, "alwaysOnTop"},
    {1067, &Settings::keepVideoSize, "keepVideoSize"},
};

TEST_F(SettingsDialogTest, EachRadioGroupShowsItsFieldAndOkStoresTheOtherChoice) {
    for (const RadioCase& c : kRadioCases) {
        for (int value : {0, 1}) {
            SCOPED_TRACE(std::string(c.name) + " from " + std::to_string(value));
            settings = Distinct();
            settings.*c.field = value;
            Settings expected = settings;
            expected.*c.field = 1 - value;
            const Outcome outcome = Open([&](CSettingsDlg& dlg) {
                EXPECT_TRUE(Radio(dlg, c.firstId + value)->isChecked());
                EXPECT_FALSE(Radio(dlg, c.firstId + 1 - value)->isChecked());
                Click(dlg, c.firstId + 1 - value);
                Click(dlg, 1);
            });
            EXPECT_TRUE(outcome.result);
            EXPECT_EQ(Dump(settings), Dump(expected));
            EXPECT_EQ(state.backgroundReload, 0);
        }
    }
}

TEST_F(SettingsDialogTest, HiddenAndOddRadioValuesAreCarriedThroughUnchanged) {
    // pausedSearchSlow has no visible control; a hand-edited 5 checks no button. Neither may
    // come back from "OK" as anything but what went in.
    const std::pair<int Settings::*, int> cases[] = {
        {&Settings::pausedSearchSlow, 1}, {&Settings::pausedSearchSlow, 0},
        {&Settings::hideCursor, 5},       {&Settings::alwaysOnTop, -3},
    };
    for (const auto& [field, value] : cases) {
        settings = Distinct();
        settings.*field = value;
        const Settings before = settings;
        EXPECT_TRUE(Open([](CSettingsDlg& dlg) { Click(dlg, 1); }).result);
        EXPECT_EQ(Dump(settings), Dump(before)) << value;
    }
}

struct SpeedCase {
    int id;
    int index;
};
const SpeedCase kSpeedCases[] = {
    {1077, 1}, {1084, 0}, {1081, 5}, {1080, 4}, {1079, 3}, {1078, 2}, {1083, 7}, {1082, 6},
};

TEST_F(SettingsDialogTest, EachSpeedEditShowsItsSearchSpeedAndOkStoresWhatWasTyped) {
    for (const SpeedCase& c : kSpeedCases) {
        SCOPED_TRACE(c.id);
        settings = Distinct();
        Settings expected = settings;
        expected.searchSpeed[c.index] = -5000 - c.id;
        Open([&](CSettingsDlg& dlg) {
            for (const SpeedCase& other : kSpeedCases)
                EXPECT_EQ(Edit(dlg, other.id)->text(), QString::number(settings.searchSpeed[other.index])) << other.id;
            Type(Edit(dlg, c.id), QString::number(-5000 - c.id));
            Click(dlg, 1);
        });
        EXPECT_EQ(Dump(settings), Dump(expected));
    }
}

// --- OK and cancel ------------------------------------------------------------------------------

TEST_F(SettingsDialogTest, EveryWayOfCancellingDiscardsEveryChange) {
    MakeBackgrounds({"sky.bmp", "night.bmp"});
    const std::pair<const char*, std::function<void(CSettingsDlg&)>> ways[] = {
        {"cancel button", [](CSettingsDlg& dlg) { Click(dlg, 2); }},
        {"Esc", [](CSettingsDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); }},
        {"window closed", [](CSettingsDlg& dlg) { dlg.close(); }},
    };
    for (const auto& [way, dismiss] : ways) {
        SCOPED_TRACE(way);
        settings = Distinct();
        const Settings before = settings;
        bool closed = false;
        const Outcome outcome = Open([&](CSettingsDlg& dlg) {
            for (const RadioCase& c : kRadioCases) Click(dlg, c.firstId + 1);
            Type(Edit(dlg, 1077), "-9999");
            Click(dlg, 1085);
            Choose(Combo(dlg), "night.bmp");
            dismiss(dlg);
            closed = !dlg.isVisible();
        });
        EXPECT_TRUE(closed);
        EXPECT_FALSE(outcome.result);
        EXPECT_EQ(outcome.placeCalls, 0);
        EXPECT_EQ(Dump(settings), Dump(before));
        EXPECT_EQ(state.backgroundReload, 0);
    }
}

TEST_F(SettingsDialogTest, OkByButtonOrEnterPlacesTheMainWindowByTheTopmostChoice) {
    struct Case { const char* what; int alwaysOnTop; int click; bool enter; bool topmost; };
    const Case cases[] = {
        {"turn on, OK button", 0, 1051, false, true},
        {"turn off, OK button", 1, 1050, false, false},
        {"keep off, Enter in an edit", 0, 0, true, false},
        {"keep on, Enter in an edit", 1, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings = Distinct();
        settings.alwaysOnTop = c.alwaysOnTop;
        const Outcome outcome = Open([&](CSettingsDlg& dlg) {
            if (c.click) Click(dlg, c.click);
            if (c.enter) {
                Edit(dlg, 1078)->setFocus();
                QTest::keyClick(Edit(dlg, 1078), Qt::Key_Return);
            } else {
                Click(dlg, 1);
            }
        });
        EXPECT_TRUE(outcome.result);
        EXPECT_EQ(outcome.placeCalls, 1);
        EXPECT_EQ(outcome.placedTopmost, c.topmost);
        EXPECT_EQ(settings.alwaysOnTop, c.topmost ? 1 : 0);
    }
}

TEST_F(SettingsDialogTest, OpensOnlyWhileNoSearchRuns) {
    for (int speed : {-9, -1, 1, 9, 0}) {
        SCOPED_TRACE(speed);
        settings = Distinct();
        const Settings before = settings;
        state = PlayerState();
        state.speed = speed;
        const Outcome outcome = Open([](CSettingsDlg& dlg) {
            Click(dlg, 1047);
            Click(dlg, 1);
        });
        EXPECT_EQ(outcome.shown, speed == 0);
        EXPECT_EQ(outcome.result, speed == 0);
        EXPECT_EQ(outcome.placeCalls, speed == 0 ? 1 : 0);
        EXPECT_EQ(settings.hideCursor, speed == 0 ? 1 : before.hideCursor);
        EXPECT_EQ(state.speed, speed);
    }
}

TEST_F(SettingsDialogTest, AParentDestroyedWhileTheDialogRunsEndsItAsCancelled) {
    QPointer<QWidget> parent = new QWidget;
    parent->show();
    const Settings before = settings;
    const Outcome outcome = Open(
        [&](CSettingsDlg& dlg) {
            Click(dlg, 1047);
            delete parent.data();
        },
        parent);
    EXPECT_TRUE(outcome.shown);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.placeCalls, 0);
    EXPECT_EQ(Dump(settings), Dump(before));
}

// --- the reset button ---------------------------------------------------------------------------

TEST_F(SettingsDialogTest, ResetWritesTheDefaultSpeedsIntoTheEditsOnly) {
    const std::pair<int, const char*> defaults[] = {
        {1077, "-2000"}, {1084, "2000"}, {1081, "-34"}, {1080, "34"},
        {1079, "-34"},   {1078, "34"},   {1083, "-2000"}, {1082, "2000"},
    };
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "then OK" : "then cancel");
        MakeBackgrounds({"sky.bmp"});
        settings = Distinct();
        settings.hideCursor = 1;
        Settings expected = settings;
        if (confirm) std::copy(std::begin(kDefaultSearchSpeed), std::end(kDefaultSearchSpeed), expected.searchSpeed);
        Open([&](CSettingsDlg& dlg) {
            Type(Edit(dlg, 1082), "abc");  // even a refused text is replaced
            Click(dlg, 1085);
            for (const auto& [id, text] : defaults) EXPECT_EQ(Edit(dlg, id)->text(), U(text)) << id;
            EXPECT_TRUE(Radio(dlg, 1047)->isChecked());
            EXPECT_EQ(Combo(dlg)->currentText(), U("sky.bmp"));
            Click(dlg, confirm ? 1 : 2);
        });
        EXPECT_EQ(Dump(settings), Dump(expected));
    }
}

// --- speed texts --------------------------------------------------------------------------------

TEST_F(SettingsDialogTest, OkRefusesSpeedTextsThatAreNotIntegersUntilCorrected) {
    struct Case { const char* text; bool accepted; int value; };
    const Case cases[] = {
        {"", false, 0},          {"abc", false, 0},         {"12abc", false, 0},
        {"1.5", false, 0},       {"- 5", false, 0},         {"0x10", false, 0},
        {"2147483648", false, 0},                           {"99999999999999999999", false, 0},
        {"２０００", false, 0},   {" 42 ", true, 42},        {"  -34", true, -34},
        {"+7", true, 7},         {"-0", true, 0},           {"007", true, 7},
        {"2147483647", true, INT_MAX},                      {"-2147483648", true, INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        settings = Distinct();
        Settings expected = settings;
        expected.autoPlay = 0;
        expected.searchSpeed[2] = c.accepted ? c.value : -1500;
        bool stayedOpen = false, messageShown = false, editSelected = false;
        const Outcome outcome = Open([&](CSettingsDlg& dlg) {
            Click(dlg, 1069);
            Type(Edit(dlg, 1078), U(c.text));
            EXPECT_EQ(Edit(dlg, 1078)->text(), U(c.text));
            Click(dlg, 1);
            stayedOpen = dlg.isVisible();
            if (QMessageBox* box = OpenMessageBox(dlg)) {
                messageShown = box->text() == U("整数を入力してください。");
                box->done(0);
                editSelected = Edit(dlg, 1078)->selectedText() == Edit(dlg, 1078)->text();
                Type(Edit(dlg, 1078), "-1500");
                Click(dlg, 1);
            }
        });
        EXPECT_TRUE(outcome.result);
        EXPECT_EQ(stayedOpen, !c.accepted);
        EXPECT_EQ(messageShown, !c.accepted);
        EXPECT_EQ(editSelected, !c.accepted);
        EXPECT_EQ(Dump(settings), Dump(expected));
    }
}

// --- the background picture -------------------------------------------------------------------

TEST_F(SettingsDialogTest, OffersDefaultThenTheBmpFilesOfTheBgFolderInItsOrder) {
    MakeBackgrounds({"sky.bmp", "NIGHT.BMP", "Dawn.Bmp", ".bmp", "notes.txt", "sky.bmpx", "bmp",
                     "sub.bmp/inner.bmp"});
    folder.Write("bg/\x94\x77\x8C\x69.bmp", "BM");  // "背景.bmp" in CP932
    folder.Write("bg/line\nbreak.bmp", "BM");
    ASSERT_EQ(::symlink((folder.path() + "bg/sky.bmp").c_str(), (folder.path() + "bg/alias.bmp").c_str()), 0);
    ASSERT_EQ(::symlink((folder.path() + "bg/sub.bmp").c_str(), (folder.path() + "bg/folder.bmp").c_str()), 0);
    ASSERT_EQ(::symlink((folder.path() + "bg/gone").c_str(), (folder.path() + "bg/dangling.bmp").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder.path() + "bg/pipe.bmp").c_str(), 0600), 0);

    const std::set<std::string> offered = {"sky.bmp", "NIGHT.BMP", "Dawn.Bmp", ".bmp", "alias.bmp",
                                           "\x94\x77\x8C\x69.bmp"};
    std::vector<std::string> expected = {"デフォルト"};
    DIR* dir = ::opendir((folder.path() + "bg").c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = ::readdir(dir))
        if (offered.count(entry->d_name)) expected.push_back(entry->d_name == std::string("\x94\x77\x8C\x69.bmp") ? "背景.bmp" : entry->d_name);
    ::closedir(dir);

    CSettingsDlg dlg(settings, folder.path());
    EXPECT_EQ(EntryTexts(Combo(dlg)), expected);
}

TEST_F(SettingsDialogTest, OffersOnlyDefaultWithoutAUsableBgFolder) {
    const std::pair<const char*, std::function<bool(const std::string&)>> setups[] = {
        {"no bg folder", [](const std::string&) { return true; }},
        {"empty bg folder", [](const std::string& p) { return ::mkdir((p + "bg").c_str(), 0700) == 0; }},
        {"bg is a file", [](const std::string& p) { return ::close(::creat((p + "bg").c_str(), 0600)) == 0; }},
        {"bg unreadable", [](const std::string& p) {
             return ::mkdir((p + "bg").c_str(), 0700) == 0 && ::close(::creat((p + "bg/a.bmp").c_str(), 0600)) == 0 &&
                    ::chmod((p + "bg").c_str(), 0) == 0;
         }},
    };
    for (const auto& [what, setup] : setups) {
        SCOPED_TRACE(what);
        TempFolder program;
        ASSERT_TRUE(setup(program.path()));
        if (DIR* probe = ::opendir((program.path() + "bg").c_str())) {
            ::closedir(probe);
            if (std::string(what) == "bg unreadable") continue;  // the superuser reads it anyway
        }
        settings.backgroundFile = "sky.bmp";
        CSettingsDlg dlg(settings, program.path());
        EXPECT_EQ(EntryTexts(Combo(dlg)), std::vector<std::string>{"デフォルト"});
        EXPECT_EQ(Combo(dlg)->currentIndex(), 0);
    }
}

TEST_F(SettingsDialogTest, SelectsTheCurrentBackgroundAndOkKeepsItsName) {
    MakeBackgrounds({"sky.bmp.bmp", "sky.bmp", "night.bmp"});
    folder.Write("bg/\x94\x77\x8C\x69.bmp", "BM");
    struct Case { const char* stored; const char* selected; };
    const Case cases[] = {
        {"", "デフォルト"},
        {"デフォルト", "デフォルト"},
        {"night.bmp", "night.bmp"},
        {"sky.bmp", "sky.bmp"},              // its own entry, not the longer name it begins
        {"NIGHT.BMP", "night.bmp"},          // the first entry starting with it, in any case
        {"nig", "night.bmp"},
        {"gone.bmp", "デフォルト"},           // removed since: the name stays until one is chosen
        {"\x94\x77\x8C\x69.bmp", "背景.bmp"},
        {"背景.bmp", "背景.bmp"},             // the same name as a saved configuration holds it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        settings = Distinct();
        settings.backgroundFile = c.stored;
        const Settings before = settings;
        const Outcome outcome = Open([&](CSettingsDlg& dlg) {
            EXPECT_EQ(Combo(dlg)->currentText(), U(c.selected));
            Click(dlg, 1);
        });
        EXPECT_TRUE(outcome.result);
        EXPECT_EQ(Dump(settings), Dump(before));
        EXPECT_EQ(state.backgroundReload, 0);
    }
}

TEST_F(SettingsDialogTest, ChoosingAnotherPictureStoresItsNameAndAsksForAReload) {
    MakeBackgrounds({"sky.bmp", "night.bmp"});
    folder.Write("bg/\x94\x77\x8C\x69.bmp", "BM");
    struct Case { const char* stored; std::vector<const char*> choices; const char* stored_after; int reload; };
    const Case cases[] = {
        {"sky.bmp", {"night.bmp"}, "night.bmp", 1},
        {"sky.bmp", {"デフォルト"}, "デフォルト", 1},
        {"", {"sky.bmp"}, "sky.bmp", 1},
        {"sky.bmp", {"night.bmp", "sky.bmp"}, "sky.bmp", 0},   // back to the current one
        {"gone.bmp", {"night.bmp", "デフォルト"}, "デフォルト", 1},
        {"sky.bmp", {"背景.bmp"}, "\x94\x77\x8C\x69.bmp", 1},  // the file's own bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " -> " + c.stored_after);
        settings = Distinct();
        settings.backgroundFile = c.stored;
        state = PlayerState();
        Settings expected = settings;
        expected.backgroundFile = c.stored_after;
        Open([&](CSettingsDlg& dlg) {
            for (const char* choice : c.choices) Choose(Combo(dlg), U(choice));
            Click(dlg, 1);
        });
        EXPECT_EQ(Dump(settings), Dump(expected));
        EXPECT_EQ(state.backgroundReload, c.reload);
    }
}

}  // namespace
