// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/more_rules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>
#include <span>

#include "rules/pattern_rule.h"
#include "ui/keyboard_access.h"
#include "ui/qt_text.h"

namespace zr {

namespace {

using O = ExtendedOption;

// A field that "Insert field" offers, with what it stands for.
struct FieldChoice {
    const char* field;
    const char* meaning;
};

const FieldChoice kNumbering[] = {
    {"{n}", "the number"},
    {"{n:3}", "the number with at least 3 digits"},
};
const FieldChoice kEntry[] = {
    {"{parent}", "the name of the folder"},
    {"{ext}", "the extension, dot included"},
    {"{modified:%Y-%m-%d %H.%M.%S}", "when the entry was last modified"},
};
const FieldChoice kPhoto[] = {
    {"{taken:%Y-%m-%d %H.%M.%S}", "when the photo was taken"},
    {"{taken|modified:%Y%m%d}", "the day it was taken, else modified"},
    {"{camera}", "the camera's model"},
    {"{width}x{height}", "the picture's size in pixels"},
};
const FieldChoice kMusic[] = {
    {"{artist}", "the artist"},
    {"{album}", "the album"},
    {"{track:2}", "the track's number with 2 digits"},
    {"{title}", "the title"},
    {"{disc}", "the disc's number"},
    {"{year}", "the year of the recording"},
    {"{genre}", "the genre"},
};

// The fields "Insert field" offers, in groups: an example of each, with its usual format.
struct FieldGroup {
    const char* title;
    std::span<const FieldChoice> fields;
};
const FieldGroup kFieldGroups[] = {
    {"Numbering", kNumbering},
    {"The entry", kEntry},
    {"Photo", kPhoto},
    {"Music", kMusic},
};

// What the choices of a Choice option are called in the dialog, in the option's order.
const char* const kNumberOrders[] = {"by name", "by date modified", "in walk order",
                                     "by date taken"};
const char* const kNumberScopes[] = {"per folder", "across the run"};
const char* const kScriptFormats[] = {".bat files", "shell scripts"};

std::span<const char* const> choiceNames(ExtendedOption option) {
    switch (option) {
        case O::NumberOrder:
            return kNumberOrders;
        case O::NumberScope:
            return kNumberScopes;
        default:
            return kScriptFormats;
    }
}

// A number that must not be 0 (the step): typed, 0 is not taken and the box goes back to the
// value before when it loses the focus; the arrows step over it.
class NonZeroSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString& text, int& position) const override {
        const QValidator::State state = QSpinBox::validate(text, position);
        return state == QValidator::Acceptable && valueFromText(text) == 0
                   ? QValidator::Intermediate
                   : state;
    }
    void stepBy(int steps) override {
        const bool toZero = value() + steps * singleStep() == 0;
        QSpinBox::stepBy(toZero ? steps + (steps > 0 ? 1 : -1) : steps);
    }
};

// The dialog's controls that take the focus, in the order Tab goes through them.
// clang-format off
const char* const kTabOrder[] = {
    "PatternReplace", "Pattern", "Replacement", "InsertField", "PatternIgnoreCase", "PatternAll",
    "PatternInclusiveExtension", "PatternOnlyExtension",
    "Fields", "NumberStart", "NumberStep", "NumberOrder", "NumberScope",
    "Unique", "ExcludeMasks", "SkipHidden", "ScriptFormat",
    "Close",
};
// clang-format on

// What a screen reader calls the controls that have no caption of their own: their label's text.
const SpokenName kSpokenNames[] = {
    {"Pattern", "Pattern", "PatternLabel"},
    {"Replacement", "Replace with", "ReplacementLabel"},
    {"NumberStart", "Number start", "NumberStartLabel"},
    {"NumberStep", "Number step", "NumberStepLabel"},
    {"NumberOrder", "Number order", "NumberOrderLabel"},
    {"NumberScope", "Numbers counted", "NumberScopeLabel"},
    {"ExcludeMasks", "Exclude", "ExcludeMasksLabel"},
    {"ScriptFormat", "Script format", "ScriptFormatLabel"},
};

// The syntax in short. A word joiner keeps "${" from being broken between lines.
const char* const kHelp =
    "In the replacement, $1 to $9 stand for the pattern's groups, $\u2060{name} for the group "
    "of that name and $$ for a $. {n} is the entry's number, {n:3} the number with at least "
    "three digits (001); {taken:%Y%m%d} the day a photo was taken, {artist} and {track:2} a "
    "song's tags (\"Insert field\" lists them all); {taken|modified} the first of the two "
    "the file has. {{ and }} write a brace. With \"fields in prefix/suffix\" the prefix and the "
    "suffix take fields too.";

}  // namespace

std::vector<RuleInForce> rulesInForce(const RenameSettings& settings) {
    std::vector<RuleInForce> rules;
    if (settings.checked(O::PatternReplace))
        rules.push_back({"pattern", "pattern replace"});
    if (settings.checked(O::Fields))
        rules.push_back({"fields", "fields in prefix/suffix"});
    if (settings.checked(O::Unique))
        rules.push_back({"unique", "unique names"});
    if (!settings.text(O::ExcludeMasks).empty())
        rules.push_back({"exclude", "exclude masks"});
    if (settings.checked(O::SkipHidden))
        rules.push_back({"no hidden", "skip hidden"});
    // The format only matters when a run writes scripts.
    if (settings.checked(Option::CheckBox13) &&
        settings.choice<ScriptFormat>(O::ScriptFormat) == ScriptFormat::Sh)
        rules.push_back({"sh", "shell scripts"});
    return rules;
}

MoreRules::MoreRules(RenameSettings& settings, Guard guard, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_guard(std::move(guard)) {
    setObjectName(QStringLiteral("MoreRules"));
    setWindowTitle(QStringLiteral("More rules"));
    createControls();
    chainTabs(*this, kTabOrder);
    nameControls(*this, kSpokenNames);
    bindOptions();
    refreshEnabled();
    refreshProblem();
}

void MoreRules::createControls() {
    auto add = [this](ExtendedOption option, QWidget* widget, const char* name, const char* hint) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setToolTip(QString::fromLatin1(hint));
        m_controls[static_cast<std::size_t>(option)] = widget;
        return widget;
    };
    auto box = [&](ExtendedOption option, const char* name, const char* caption, const char* hint) {
        return add(option, new QCheckBox(QString::fromLatin1(caption)), name, hint);
    };
    auto edit = [&](ExtendedOption option, const char* name, const char* hint) {
        auto* lineEdit = new QLineEdit;
        lineEdit->setMaxLength(std::numeric_limits<int>::max());
        return add(option, lineEdit, name, hint);
    };
    auto number = [&](ExtendedOption option, QSpinBox* spinBox, const char* name,
                      const char* hint) {
        const ExtendedOptionInfo& info = extendedInfo(option);
        spinBox->setRange(info.min, info.max);
        return add(option, spinBox, name, hint);
    };
    auto choice = [&](ExtendedOption option, const char* name, const char* hint) {
        auto* combo = new QComboBox;
        for (const char* item : choiceNames(option))
            combo->addItem(QString::fromLatin1(item));
        Q_ASSERT(std::size_t(combo->count()) == extendedInfo(option).choices.size());
        return add(option, combo, name, hint);
    };
    auto label = [](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text));
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    auto* pattern = new QGroupBox(QStringLiteral("Pattern"));
    auto* patternGrid = new QGridLayout(pattern);
    patternGrid->addWidget(box(O::PatternReplace, "PatternReplace", "Pattern replace",
                               "if checked the matches of the pattern are replaced, before the "
                               "rules of the main window apply"),
                           0, 0, 1, 3);
    patternGrid->addWidget(label("PatternLabel", "Pattern"), 1, 0);
    patternGrid->addWidget(edit(O::Pattern, "Pattern",
                                "a regular expression, for example ^IMG_(\\d+) or (?<year>\\d{4})"),
                           1, 1, 1, 2);
    patternGrid->addWidget(label("ReplacementLabel", "Replace with"), 2, 0);
    patternGrid->addWidget(edit(O::Replacement, "Replacement",
                                "what a match becomes: $1 or ${name} for a group, {n} for the "
                                "number, {n:3} with three digits, {taken} for the date taken, $$ "
                                "for $, {{ for {"),
                           2, 1);
    auto* insert = m_insertField = new QPushButton(QStringLiteral("Insert field"));
    insert->setObjectName(QStringLiteral("InsertField"));
    insert->setToolTip(QStringLiteral("insert a field into the replacement, at the cursor"));
    auto* fields = new QMenu(insert);
    fields->setObjectName(QStringLiteral("InsertFieldMenu"));
    for (const FieldGroup& group : kFieldGroups) {
        fields->addSection(QString::fromLatin1(group.title));
        for (const FieldChoice& field : group.fields) {
            const char* text = field.field;
            QAction* action = fields->addAction(QString::fromLatin1(text) + QStringLiteral("\t") +
                                                QString::fromLatin1(field.meaning));
            connect(action, &QAction::triggered, this, [this, text] { insertField(text); });
        }
    }
    insert->setMenu(fields);
    patternGrid->addWidget(insert, 2, 2);
    auto* switches = new QHBoxLayout;
    switches->addWidget(box(O::PatternIgnoreCase, "PatternIgnoreCase", "ignore case",
                            "if checked the pattern matches without regard to letter case"));
    switches->addWidget(box(O::PatternAll, "PatternAll", "all matches",
                            "if checked every match is replaced, else only the first"));
    switches->addStretch();
    patternGrid->addLayout(switches, 3, 1, 1, 2);
    m_inclusiveExtension = new QCheckBox(QStringLiteral("inclusive extension"));
    m_inclusiveExtension->setObjectName(QStringLiteral("PatternInclusiveExtension"));
    m_inclusiveExtension->setToolTip(
        QStringLiteral("if checked the pattern is matched against the full filename"));
    m_onlyExtension = new QCheckBox(QStringLiteral("only in extension"));
    m_onlyExtension->setObjectName(QStringLiteral("PatternOnlyExtension"));
    m_onlyExtension->setToolTip(
        QStringLiteral("if checked the pattern is matched only against the extension (after last "
                       "dot)"));
    auto* range = new QHBoxLayout;
    range->addWidget(m_inclusiveExtension);
    range->addWidget(m_onlyExtension);
    range->addStretch();
    patternGrid->addLayout(range, 4, 1, 1, 2);
    patternGrid->setColumnStretch(1, 1);

    auto* numbers = new QGroupBox(QStringLiteral("Fields and numbers"));
    auto* numberGrid = new QGridLayout(numbers);
    numberGrid->addWidget(box(O::Fields, "Fields", "fields in prefix/suffix",
                              "if checked fields such as {n}, {parent}, {taken} and {artist} in "
                              "the prefix and the suffix are replaced by their values"),
                          0, 0, 1, 4);
    numberGrid->addWidget(label("NumberStartLabel", "Start"), 1, 0);
    numberGrid->addWidget(
        number(O::NumberStart, new QSpinBox, "NumberStart", "the number of the first entry"), 1, 1);
    numberGrid->addWidget(label("NumberStepLabel", "Step"), 1, 2);
    numberGrid->addWidget(number(O::NumberStep, new NonZeroSpinBox, "NumberStep",
                                 "what each number adds to the one before; not 0"),
                          1, 3);
    numberGrid->addWidget(label("NumberOrderLabel", "Order"), 2, 0);
    numberGrid->addWidget(
        choice(O::NumberOrder, "NumberOrder", "the order in which entries get their numbers"), 2,
        1);
    numberGrid->addWidget(label("NumberScopeLabel", "Counted"), 2, 2);
    numberGrid->addWidget(choice(O::NumberScope, "NumberScope",
                                 "numbers start again in each folder, or go on across the run"),
                          2, 3);
    numberGrid->setColumnStretch(1, 1);
    numberGrid->setColumnStretch(3, 1);

    auto* entries = new QGroupBox(QStringLiteral("Names, entries and scripts"));
    auto* entryGrid = new QGridLayout(entries);
    entryGrid->addWidget(box(O::Unique, "Unique", "unique names",
                             "if checked a new name that is taken becomes the first free one "
                             "with a counter: \"photo (2).jpg\""),
                         0, 0, 1, 2);
    entryGrid->addWidget(label("ExcludeMasksLabel", "Exclude"), 1, 0);
    entryGrid->addWidget(edit(O::ExcludeMasks, "ExcludeMasks",
                              "entries whose names match are left out, and so is what is in such "
                              "a folder; wildcards allowed, more masks separate with ';'"),
                         1, 1);
    entryGrid->addWidget(box(O::SkipHidden, "SkipHidden", "skip hidden",
                             "if checked names that start with a dot are left out"),
                         2, 0, 1, 2);
    entryGrid->addWidget(label("ScriptFormatLabel", "Script format"), 3, 0);
    entryGrid->addWidget(
        choice(O::ScriptFormat, "ScriptFormat",
               "what \"make batch file instead of renaming\" writes: .bat files or shell scripts"),
        3, 1);
    entryGrid->setColumnStretch(1, 1);

    // Red, as a field that refuses what was typed; in words, for whoever cannot tell red.
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("Problem"));
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);
    QPalette palette = m_problem->palette();
    palette.setColor(QPalette::WindowText, QColor(0xb0, 0, 0));
    m_problem->setPalette(palette);
    m_problem->hide();

    auto* help = new QLabel(QString::fromUtf8(kHelp));
    help->setObjectName(QStringLiteral("Help"));
    help->setWordWrap(true);
    help->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Two columns, so that the dialog stays well inside the screen with a large font: the
    // pattern with what it says about the texts, and the other options.
    auto* left = new QVBoxLayout;
    left->addWidget(pattern);
    left->addWidget(m_problem);
    left->addWidget(help);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(numbers);
    right->addWidget(entries);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    // As wide as the help text reads well.
    help->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
}

void MoreRules::bindOptions() {
    for (const ExtendedOptionInfo& info : allExtended()) {
        const ExtendedOption option = info.option;
        showOption(option);
        QWidget* widget = m_controls[static_cast<std::size_t>(option)];
        switch (info.kind) {
            case ExtendedKind::Switch:
                connect(static_cast<QCheckBox*>(widget), &QCheckBox::toggled, this,
                        [this, option](bool on) {
                            m_guard([&] { m_settings.setChecked(option, on); });
                        });
                break;
            case ExtendedKind::Text:
                connect(
                    static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this,
                    [this, option](const QString& text) {
                        m_guard([&] { m_settings.setText(option, text.toUtf8().toStdString()); });
                    });
                break;
            case ExtendedKind::Number:
                connect(static_cast<QSpinBox*>(widget), &QSpinBox::valueChanged, this,
                        [this, option](int value) {
                            m_guard([&] { m_settings.setValue(option, value); });
                        });
                break;
            case ExtendedKind::Choice:
                if (!widget)
                    break;  // the range's two boxes, below
                connect(static_cast<QComboBox*>(widget), &QComboBox::currentIndexChanged, this,
                        [this, option](int index) {
                            m_guard([&] { m_settings.setValue(option, index); });
                        });
                break;
        }
    }
    connect(m_inclusiveExtension, &QCheckBox::toggled, this,
            [this](bool on) { m_guard([&] { rangeBoxToggled(PatternRange::All, on); }); });
    connect(m_onlyExtension, &QCheckBox::toggled, this,
            [this](bool on) { m_guard([&] { rangeBoxToggled(PatternRange::Extension, on); }); });
}

void MoreRules::rangeBoxToggled(PatternRange range, bool on) {
    // One box of an exclusive pair: checking it unchecks the other, and unchecking it leaves
    // the name without its extension.
    if (on)
        m_settings.setValue(O::PatternRange, static_cast<std::int32_t>(range));
    else if (m_settings.choice<PatternRange>(O::PatternRange) == range)
        m_settings.setValue(O::PatternRange, static_cast<std::int32_t>(PatternRange::Name));
}

void MoreRules::showOption(ExtendedOption option) {
    if (option == O::PatternRange) {
        const PatternRange range = m_settings.choice<PatternRange>(option);
        const QSignalBlocker inclusive(m_inclusiveExtension);
        const QSignalBlocker only(m_onlyExtension);
        m_inclusiveExtension->setChecked(range == PatternRange::All);
        m_onlyExtension->setChecked(range == PatternRange::Extension);
        return;
    }
    QWidget* widget = m_controls[static_cast<std::size_t>(option)];
    const QSignalBlocker blocker(widget);
    switch (extendedInfo(option).kind) {
        case ExtendedKind::Switch:
            static_cast<QCheckBox*>(widget)->setChecked(m_settings.checked(option));
            break;
        case ExtendedKind::Text: {
            auto* lineEdit = static_cast<QLineEdit*>(widget);
            const QString text = fromBytes(m_settings.text(option));
            // Unchanged text is left alone, so typing keeps its cursor and undo history.
            if (lineEdit->text() != text)
                lineEdit->setText(text);
            break;
        }
        case ExtendedKind::Number:
            static_cast<QSpinBox*>(widget)->setValue(m_settings.value(option));
            break;
        case ExtendedKind::Choice:
            static_cast<QComboBox*>(widget)->setCurrentIndex(m_settings.value(option));
            break;
    }
    if (option == O::PatternReplace) {
        refreshEnabled();
        // As a rule's box on the main window does, it takes the user to its first field.
        if (m_settings.checked(option) && !m_busy)
            control<QWidget>(O::Pattern)->setFocus();
    }
}

void MoreRules::refreshEnabled() {
    for (QWidget* w : optionControls())
        w->setEnabled(!m_busy);
    const bool on = !m_busy && m_settings.checked(O::PatternReplace);
    for (QWidget* follower :
         {control<QWidget>(O::Pattern), control<QWidget>(O::Replacement),
          static_cast<QWidget*>(m_insertField), control<QWidget>(O::PatternIgnoreCase),
          control<QWidget>(O::PatternAll), static_cast<QWidget*>(m_inclusiveExtension),
          static_cast<QWidget*>(m_onlyExtension)})
        follower->setEnabled(on);
}

void MoreRules::refreshProblem() {
    const std::optional<std::string> problem = checkRuleTexts(m_settings);
    const QString text = problem ? fromBytes(*problem) : QString();
    if (m_problem->text() == text)
        return;
    m_problem->setText(text);
    m_problem->setVisible(problem.has_value());
    // Read where the user types, not only where it shows.
    for (O option : {O::Pattern, O::Replacement})
        control<QWidget>(option)->setAccessibleDescription(text);
}

void MoreRules::setBusy(bool busy) {
    m_busy = busy;
    refreshEnabled();
}

std::vector<QWidget*> MoreRules::optionControls() const {
    std::vector<QWidget*> controls;
    for (QWidget* w : m_controls) {
        if (w)
            controls.push_back(w);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(m_inclusiveExtension), static_cast<QWidget*>(m_onlyExtension),
          static_cast<QWidget*>(m_insertField)})
        controls.push_back(w);
    return controls;
}

void MoreRules::keyPressEvent(QKeyEvent* event) {
    // Enter presses the button that has the focus; in a field, what was typed already counts, and
    // no other button is pressed for it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !qobject_cast<QPushButton*>(focusWidget())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MoreRules::insertField(const char* field) {
    auto* replacement = control<QLineEdit>(O::Replacement);
    replacement->insert(QString::fromLatin1(field));
    replacement->setFocus();
}

}  // namespace zr
