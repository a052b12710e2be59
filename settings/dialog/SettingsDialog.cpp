#include "settings/dialog/SettingsDialog.h"

#include <QPointer>

#include "state/PlayerState.h"
#include "state/Settings.h"
#include "settings/dialog/CSettingsDlg.h"

bool OpenSettingsDialog(QWidget* parent, Settings& settings, PlayerState& state, const std::string& programFolder,
                        const std::function<void(bool alwaysOnTop)>& placeMainWindow) {
    if (state.speed != 0) return false;  // a search runs

    // On the heap behind a guard: a parent destroyed during the modal loop takes the dialog
    // with it, which a dialog on the stack would not survive.
    QPointer<CSettingsDlg> dialog = new CSettingsDlg(settings, programFolder, parent);
    const int result = dialog->exec();
    if (dialog.isNull()) return false;
    const bool accepted = result == QDialog::Accepted;
    if (accepted) dialog->ApplyTo(settings, state);
    delete dialog;
    if (accepted && placeMainWindow) placeMainWindow(settings.alwaysOnTop == 1);
    return accepted;
}
