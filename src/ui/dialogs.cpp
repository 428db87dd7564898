// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPushButton>

namespace zr {

namespace {

std::unique_ptr<QMessageBox> buildBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                      const QString& text) {
    // Lines may be joined by a carriage return alone; the box breaks lines at a line feed.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    auto box = std::make_unique<QMessageBox>(icon, title, shown, QMessageBox::NoButton, parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setTextFormat(Qt::PlainText);
    return box;
}

void addOkButton(QMessageBox& box) {
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
}

class QtDialogs : public Dialogs {
public:
    bool askYesNo(QWidget* parent, const QString& question) override {
        const auto box = buildQuestionBox(parent, question);
        box->exec();
        return box->clickedButton() != box->escapeButton();
    }

    void showMessage(QWidget* parent, MessageType type, const QString& text) override {
        buildMessageBox(parent, type, text)->exec();
    }

    void showError(QWidget* parent, const QString& text) override {
        buildErrorBox(parent, text)->exec();
    }

    std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                           const QString& startDirectory) override {
        const QString chosen = QFileDialog::getExistingDirectory(parent, title, startDirectory);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }

    std::optional<QString> chooseFile(QWidget* parent, const FileDialogRequest& request) override {
        QFileDialog dialog(parent, request.title, request.directory, request.filter);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setDefaultSuffix(request.defaultSuffix);
        dialog.selectFile(request.proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }

    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

std::unique_ptr<Dialogs> makeQtDialogs() {
    return std::make_unique<QtDialogs>();
}

std::unique_ptr<QMessageBox> buildQuestionBox(QWidget* parent, const QString& question) {
    auto box = buildBox(parent, QMessageBox::Warning, QStringLiteral("Warning"), question);
    box->addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    // Every question asks before undo data is thrown away: Return, Escape, the close box and a
    // held key all answer No, so nothing is discarded unless Yes is chosen.
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    return box;
}

std::unique_ptr<QMessageBox> buildMessageBox(QWidget* parent, MessageType type,
                                             const QString& text) {
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString title = QStringLiteral("Warning");
    if (type == MessageType::Error) {
        icon = QMessageBox::Critical;
        title = QStringLiteral("Error");
    } else if (type == MessageType::Information) {
        icon = QMessageBox::Information;
        title = QStringLiteral("Information");
    }
    auto box = buildBox(parent, icon, title, text);
    addOkButton(*box);
    return box;
}

std::unique_ptr<QMessageBox> buildErrorBox(QWidget* parent, const QString& text) {
    auto box =
        buildBox(parent, QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text);
    addOkButton(*box);
    return box;
}

}  // namespace zr
