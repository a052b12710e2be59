#pragma once
#include <memory>
#include <string>

class QWidget;

// The editor's load and save dialogs and the save's failure message: the seam tests go around.
// Called on the user-interface thread; a dialog runs its own event loop until it returns. Paths
// are the file system's bytes.
class ListFileDialogs {
public:
    virtual ~ListFileDialogs() = default;
    // The list file chosen in the open dialog, started in `folder`; empty when cancelled.
    virtual std::string ChooseListToLoad(QWidget* parent, const std::string& folder) = 0;
    // The file name chosen in the save dialog, started in `folder`; empty when cancelled.
    virtual std::string ChooseListToSave(QWidget* parent, const std::string& folder) = 0;
    // Tells the user the list could not be written to `path`; returns once the message is closed.
    virtual void TellListNotSaved(QWidget* parent, const std::string& path) = 0;
};

// QFileDialog with the filter "Select List File" (".tsr", ".m3u") and the default suffix "tsr".
std::unique_ptr<ListFileDialogs> MakeQtListFileDialogs();
