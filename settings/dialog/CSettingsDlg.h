#pragma once
#include <string>

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLineEdit;
struct PlayerState;
struct Settings;

// Template 139, "操作設定ダイアログ": the wheel modes, the full-screen options, the window
// options, the background picture and the eight search speeds; below them the loudness mode
// (Settings::gainMode, buttons 1090..1093: auto, track, album, off). The dialog works on its own
// copy of those Settings fields; ApplyTo copies them back once the user confirmed with "OK".
// Controls carry their template ids as object names ("1032", "1075", "1" for OK), so
// Item(id) finds a control by its template id.
class CSettingsDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRadioGroupCount = 8;
    static constexpr int kSpeedEditCount = 8;
    static constexpr int kGainModeCount = 4;

    // `programFolder` ends in '/'; the pictures are listed from its bg/ folder, the folder the
    // skin loader reads them from.
    CSettingsDlg(const Settings& settings, const std::string& programFolder, QWidget* parent = nullptr);

    // The control with template id `id`, or null.
    QWidget* Item(int id) const;

    // Copies the confirmed values into `settings`; a changed background name (byte for byte)
    // also sets state.backgroundReload. Meaningful after the dialog was accepted.
    void ApplyTo(Settings& settings, PlayerState& state) const;

    // "OK": reads the controls back; a speed text that is not an integer is refused with the
    // standard message, the offending edit gets the focus and the dialog stays open.
    void accept() override;

protected:
    // Typing into the background combo's field changes nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog(const std::string& programFolder);
    void FillControls();
    bool ReadControls();
    void OnBackgroundChosen(int index);
    void OnResetSpeeds();
    void RefuseSpeedText(QLineEdit* edit);

    // The dialog's members: the radio values (-1: no button
    // of the group checked) of the groups 1034, 1032, 1037, 1046, 1048, 1050, 1067, 1069;
    // the background name (bytes of the file name, the hidden edit 1076 of the template); the
    // speeds of the edits 1084, 1077, 1079, 1078, 1080, 1081, 1082, 1083.
    int m_radio[kRadioGroupCount] = {-1, -1, -1, -1, -1, -1, -1, -1};
    std::string m_background;
    int m_speed[kSpeedEditCount] = {};
    int m_gainMode = 0;  // -1: no button checked (a stored value out of range), kept as stored

    QButtonGroup* m_groups[kRadioGroupCount] = {};
    QLineEdit* m_speedEdits[kSpeedEditCount] = {};
    QComboBox* m_backgroundCombo = nullptr;
    QButtonGroup* m_gainGroup = nullptr;
};
