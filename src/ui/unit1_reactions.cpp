// SPDX-License-Identifier: GPL-3.0-or-later
// The window's reactions: the click reactions that keep dependent controls in step with their
// check boxes, the "More rules" dialog and the sign of its rules, the start directory field, the
// folder browser, the status-bar link and the failure-log viewer.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QUrl>

#include "rules/option_lists.h"
#include "ui/more_rules.h"
#include "ui/unit1.h"

namespace zr {

void Tmain::optionChanged(Option option) {
    showOption(option);
    rulesChanged();
    switch (option) {
        case Option::CheckBox2:
            return CheckBox2Click();
        case Option::CheckBox3:
            return CheckBox3Click();
        case Option::CheckBox4:
            return CheckBox4Click();
        case Option::CheckBox5:
            return CheckBox5Click();
        case Option::CheckBox6:
            return CheckBox6Click();
        case Option::CheckBox7:
            return CheckBox7Click();
        case Option::CheckBox9:
            return CheckBox9Click();
        case Option::CheckBox10:
            return CheckBox10Click();
        case Option::CheckBox11:
            return CheckBox11Click();
        case Option::CheckBox12:
            return CheckBox12Click();
        case Option::CheckBox14:
            return CheckBox14Click();
        case Option::CheckBox16:
            return CheckBox16Click();
        default:
            return;
    }
}

void Tmain::extendedChanged(ExtendedOption option) {
    if (m_moreRules)
        m_moreRules->showOption(option);
    rulesChanged();
}

void Tmain::rulesChanged() {
    if (m_moreRules)
        m_moreRules->refreshProblem();
    const std::vector<RuleInForce> rules = rulesInForce(m_settings);
    m_rulesSign->setVisible(!rules.empty());
    if (rules.empty())
        return;
    // As many rules as the sign has room for, whole, and how many more there are.
    const QFontMetrics metrics = m_rulesSign->fontMetrics();
    QString text;
    for (std::size_t shown = rules.size(); shown > 0; --shown) {
        text = QStringLiteral("More rules: ");
        for (std::size_t i = 0; i < shown; ++i)
            text += (i > 0 ? ", " : "") + QString::fromLatin1(rules[i].brief);
        if (shown < rules.size())
            text += QStringLiteral(" +") + QString::number(rules.size() - shown);
        if (metrics.horizontalAdvance(text) <= m_rulesSign->width())
            break;
    }
    m_rulesSign->setText(metrics.elidedText(text, Qt::ElideRight, m_rulesSign->width()));
    QString names;
    for (const RuleInForce& rule : rules)
        names += (names.isEmpty() ? "" : ", ") + QString::fromLatin1(rule.name);
    m_rulesSign->setAccessibleDescription(names);
    m_rulesSign->setToolTip(QStringLiteral("More rules on: ") + names + QStringLiteral(" (") +
                            QString::fromLatin1(kMoreRulesShortcut) + QStringLiteral(")"));
}

void Tmain::MoreRules1Click() {
    if (!m_moreRules) {
        m_moreRules = new MoreRules(
            m_settings, [this](const auto& reaction) { guard(reaction); }, this);
        m_moreRules->setBusy(m_busy);
    }
    m_moreRules->show();
    m_moreRules->raise();
    m_moreRules->activateWindow();
}

void Tmain::CheckBox2Click() {
    followCheckBox(Option::CheckBox2, {Option::Edit2});
}

void Tmain::CheckBox3Click() {
    followCheckBox(Option::CheckBox3, {Option::Edit4, Option::CheckBox8});
}

void Tmain::CheckBox4Click() {
    followCheckBox(Option::CheckBox4, {Option::ComboBox1, Option::CheckBox6, Option::CheckBox7});
}

void Tmain::CheckBox5Click() {
    followCheckBox(Option::CheckBox5, {Option::Edit5});
}

void Tmain::CheckBox6Click() {
    uncheckPartner(Option::CheckBox6, Option::CheckBox7);
}

void Tmain::CheckBox7Click() {
    uncheckPartner(Option::CheckBox7, Option::CheckBox6);
}

void Tmain::CheckBox9Click() {
    followCheckBox(Option::CheckBox9, {Option::Edit6, Option::Edit7});
}

void Tmain::CheckBox10Click() {
    followCheckBox(Option::CheckBox10, {Option::Edit8});
}

void Tmain::CheckBox11Click() {
    uncheckPartner(Option::CheckBox11, Option::CheckBox12);
}

void Tmain::CheckBox12Click() {
    uncheckPartner(Option::CheckBox12, Option::CheckBox11);
}

void Tmain::CheckBox14Click() {
    // While busy the controls stay disabled; leaving the busy state applies this rule.
    if (m_busy)
        return;
    const bool filtersApply = !m_settings.checked(Option::CheckBox14);
    for (Option o : {Option::Edit3, Option::CheckBox11, Option::CheckBox12})
        optionControl(o)->setEnabled(filtersApply);
}

void Tmain::CheckBox16Click() {
    followCheckBox(Option::CheckBox16, {Option::Edit9, Option::Edit10});
}

void Tmain::followCheckBox(Option box, std::initializer_list<Option> followers) {
    // While busy the controls stay disabled; leaving the busy state applies this rule.
    if (m_busy)
        return;
    const bool on = m_settings.checked(box);
    for (Option o : followers)
        optionControl(o)->setEnabled(on);
    if (on)
        optionControl(*followers.begin())->setFocus();
}

void Tmain::uncheckPartner(Option box, Option partner) {
    if (m_settings.checked(box))
        m_settings.setChecked(partner, false);
}

void Tmain::Edit1Exit() {
    if (m_renamer.commandRunning())
        return;
    m_settings.setText(Option::Edit1, normaliseStartDirectory(m_settings.text(Option::Edit1)));
}

void Tmain::Button2Click() {
    if (m_renamer.commandRunning())
        return;
    const std::optional<QString> chosen =
        m_dialogs.chooseDirectory(this, QStringLiteral("Please specify a base directory"),
                                  QFile::decodeName(m_renamer.flags().CurrentDir.c_str()));
    if (!chosen)
        return;
    m_settings.setText(Option::Edit1,
                       normaliseStartDirectory(QFile::encodeName(*chosen).toStdString()));
}

void Tmain::Viewlastfailurelog1Click() {
    openFailureLog(m_renamer.flags().FailureLogPath);
}

void Tmain::openFailureLog(const std::string& path) {
    if (path.empty())
        return;
    // In the desktop's program for such files; without one, the user can still find it.
    if (!m_dialogs.openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str()))))
        showMessage(MessageType::Error, "Error executing notepad !\rThe failure log is " + path);
}

void Tmain::StatusBar1Click() {
    if (m_statusText == kHomePage)
        m_dialogs.openUrl(QUrl(QString::fromLatin1(kHomePage)));
    else
        openFailureLog(m_statusLog);
}

}  // namespace zr
