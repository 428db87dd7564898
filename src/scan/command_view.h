// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands need from a front end: the status text, captions and enabled states of the
// command buttons and menu items, the busy state, message boxes, pending events and the preview
// list. The window, the command line and the tests each implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "scan/rename_outcome.h"

namespace zr {

// The controls a command changes.
enum class Control {
    Button1,              // "&Go !"
    Button3,              // "&Undo"
    Button5,              // "&Scan"
    SaveUndoasbat1,       // "Save &Undo as .bat"
    Viewlastfailurelog1,  // "&View last failure log"
};

enum class MessageType { Warning, Error, Information };

// One row of the preview list. Its size, date and time columns are texts made from these values
// by PreviewText (scan/preview_text.h), when and if they are shown.
struct PreviewRow {
    std::string currentName;
    std::string newName;
    std::int64_t size = 0;
    // The last-write time as the file system holds it, and what the entry is, for programs.
    std::time_t modified = 0;
    EntryType type = EntryType::File;
    // A directory handed over in "only directories" mode: "DIR" in the size column.
    bool directory = false;
    // False when the entry's size and time could not be read (it vanished meanwhile).
    bool known = true;
    // Why Go will fail to carry the rename out; None until the row is settled, and after.
    Conflict fails = Conflict::None;
    // With RuleFailed (then set when the row is added): the rules' reason, "no date taken".
    const char* ruleFailure = nullptr;

    // The last-write time as the preview shows it: its seconds truncated to even.
    std::time_t time() const { return modified - ((modified % 2) + 2) % 2; }
};

// What a front end shows as the reason of a row that fails: the rules' words for an entry they
// gave no new name, else the conflict's.
inline std::string_view failureReason(const PreviewRow& row) {
    return row.fails == Conflict::RuleFailed && row.ruleFailure ? row.ruleFailure
                                                                : conflictReason(row.fails);
}

// What Go will do with the entry of a preview row: the row's index (counted from the first row
// added after clearPreview()) and why its rename will fail, or None.
struct RowOutcome {
    std::size_t row = 0;
    Conflict fails = Conflict::None;
};

// What a run left on the disk for the user to look at.
struct RunFiles {
    // The log of this run's failures; empty when it kept none.
    std::string failureLog;
    // The scripts a batch run wrote: the rename script, then the undo script.
    std::vector<std::string> scripts;
};

class CommandView {
public:
    virtual ~CommandView() = default;

    virtual void setStatusText(std::string_view text) = 0;
    virtual std::string statusText() const = 0;
    // The closing status of a run and the files it left. A front end that names the files
    // elsewhere (the command line prints the log's path on a line of its own) shows the text.
    virtual void setClosingStatus(std::string_view text, const RunFiles& files) {
        static_cast<void>(files);
        setStatusText(text);
    }
    virtual void setCaption(Control control, std::string_view caption) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    // Shows at once what the status and the captions say, without handling any input: a command
    // calls it before work that handles no events for a while (renames, an undo, a script).
    virtual void showNow() {}

    // Disables the option controls, labels and the other buttons (but not Button1 and Button5)
    // and shows the busy pointer.
    virtual void busyOn() = 0;
    // Enables them again, runs the click reactions that restore the enabling rules, and enables
    // Button3 exactly when undo data is present.
    virtual void busyOff(bool undoDataPresent) = 0;

    // A warning box with "&Yes" and "&No"; false only when the answer is No.
    virtual bool askYesNo(std::string_view question) = 0;
    // A box of the given type ("Warning", "Error", "Information") with "OK".
    virtual void showMessage(MessageType type, std::string_view text) = 0;
    // The general error handler: an error box titled with the application's title, showing
    // errorBoxText(message).
    virtual void showError(std::string_view message) = 0;

    // Lets the front end handle what is pending (clicks, repaints); called after every entry of
    // a walk. A click on the running command's button arrives here as a stop request.
    virtual void processPendingEvents() = 0;

    virtual void clearPreview() = 0;
    virtual void addPreviewRow(PreviewRow row) = 0;
    // The rows of `outcomes`, all entries of the folder `folder` (as the walk names it), are
    // final: the folder's listing is over and what Go will do with each is known. Rows are
    // settled once each, a folder's rows in the order they were added, a folder after the
    // folders inside it.
    virtual void settlePreviewRows(std::string_view folder,
                                   std::span<const RowOutcome> outcomes) = 0;

    // The renames of a Go or Undo run: `done` of `total` have been tried, called before the
    // first and after each. A front end that throws here ends the run after the renames under
    // way; those never started are marked as never done. The window shows nothing here, as
    // the renames run to their end without a repaint.
    virtual void renamesProgress(std::size_t /*done*/, std::size_t /*total*/) {}
    // A rename of a Go run failed: with the errno of the system's refusal, or with what the run
    // refused it for before trying (`refused` not None).
    virtual void renameFailed(std::string_view /*oldFullPath*/, std::string_view /*newName*/,
                              int /*error*/, Conflict /*refused*/) {}
    // The rules gave an entry of a Go run no new name, for `reason` ("no date taken").
    virtual void entryFailed(std::string_view /*oldFullPath*/, std::string_view /*reason*/) {}
};

}  // namespace zr
