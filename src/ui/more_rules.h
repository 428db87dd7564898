// SPDX-License-Identifier: GPL-3.0-or-later
// The "More rules" dialog: the options beyond the main window's controls (pattern replace,
// fields, numbering, unique names, the exclude masks, "skip hidden" and the script format), bound
// to the window's RenameSettings as the window's own controls are; and the short account of the
// rules in force that the main window shows while any of them is on.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <vector>

#include "rules/rename_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zr {

// A rule of the dialog that is in force: a word or two for the main window's sign, and its name
// as the dialog calls it.
struct RuleInForce {
    const char* brief;  // "pattern"
    const char* name;   // "pattern replace"
};

// The rules of the dialog that change what a run does, in the dialog's order. The numbering
// options are not among them: they only act through a {n} field, whose rule is listed.
std::vector<RuleInForce> rulesInForce(const RenameSettings& settings);

// The dialog is modeless: it may stay open beside the window, and during a run it shows the
// options, disabled, as the window's controls are. An edit in the dialog goes to the record at
// once; a change of the record, whoever made it, shows in the dialog (showOption(),
// refreshProblem() for a text of the main window's that holds fields). A text that would refuse
// a run (a pattern that does not compile, an unknown field) is shown in the dialog as it is
// typed, with its position.
class MoreRules : public QDialog {
    Q_OBJECT
public:
    // `guard` runs each reaction of the dialog, as the window runs its own.
    using Guard = std::function<void(const std::function<void()>&)>;

    MoreRules(RenameSettings& settings, Guard guard, QWidget* parent);

    // Shows the record's value of `option` in its control, without echoing it back.
    void showOption(ExtendedOption option);
    // Checks the rules' texts again, and says what is wrong with them.
    void refreshProblem();
    // While a command runs, every option is disabled; "Close" stays.
    void setBusy(bool busy);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void bindOptions();
    // The pattern's own options follow "Pattern replace", as the main window's fields follow
    // their rule's check box.
    void refreshEnabled();
    // Every control that changes an option, and "Insert field".
    std::vector<QWidget*> optionControls() const;
    void rangeBoxToggled(PatternRange range, bool on);
    void insertField(const char* field);

    template <class T>
    T* control(ExtendedOption option) const {
        return static_cast<T*>(m_controls[static_cast<std::size_t>(option)]);
    }

    RenameSettings& m_settings;
    Guard m_guard;
    std::array<QWidget*, kExtendedOptionCount> m_controls{};
    // "Pattern range" as the case rule shows its range: two boxes, neither meaning the name.
    QCheckBox* m_inclusiveExtension = nullptr;
    QCheckBox* m_onlyExtension = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_insertField = nullptr;
    bool m_busy = false;
};

}  // namespace zr
