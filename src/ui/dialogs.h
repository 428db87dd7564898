// SPDX-License-Identifier: GPL-3.0-or-later
// Everything modal or external the window shows or starts: message boxes, the folder browser and
// opening addresses in the desktop's programs. The window reaches them only through Dialogs, so
// tests put answers in their place and never wait on a modal box.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

#include "scan/command_view.h"

class QWidget;

namespace zr {

// What a settings file dialog asks for.
struct FileDialogRequest {
    bool save = false;  // a save dialog, else an open dialog
    QString title;
    QString directory;  // the folder it starts in
    QString filter;     // "Name (patterns);;Name (patterns)"
    QString defaultSuffix;
    QString proposedName;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A warning box titled "Warning" with "&Yes" and "&No"; false only when the answer is No.
    virtual bool askYesNo(QWidget* parent, const QString& question) = 0;
    // A box titled "Warning", "Error" or "Information" by its type, with "OK".
    virtual void showMessage(QWidget* parent, MessageType type, const QString& text) = 0;
    // The general error box: titled with the application's title, error icon, "OK".
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // The folder the user picks, as the platform names it; nothing when cancelled.
    virtual std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                                   const QString& startDirectory) = 0;
    // The file the user picks in a settings file dialog; nothing when cancelled. Neither dialog
    // asks about an existing file, and the open dialog takes a name that does not exist yet.
    virtual std::optional<QString> chooseFile(QWidget* parent,
                                              const FileDialogRequest& request) = 0;
    // Opens an address or a local file in the desktop's program for it; false when that fails.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The real boxes and dialogs.
std::unique_ptr<Dialogs> makeQtDialogs();

// The message boxes as the real Dialogs show them, built but not shown.
std::unique_ptr<QMessageBox> buildQuestionBox(QWidget* parent, const QString& question);
std::unique_ptr<QMessageBox> buildMessageBox(QWidget* parent, MessageType type,
                                             const QString& text);
std::unique_ptr<QMessageBox> buildErrorBox(QWidget* parent, const QString& text);

}  // namespace zr
