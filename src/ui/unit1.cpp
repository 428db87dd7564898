// SPDX-License-Identifier: GPL-3.0-or-later
// Making the window: its components built from one table (the order of that table is the
// position N of the persisted keys), the preview list, the popup menu, the tab order, the font,
// the binding of the controls to the options, and the layout that follows the window's width.
#include "ui/unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/user_folders.h"
#include "ui/app_icon.h"
#include "ui/keyboard_access.h"
#include "ui/preview_model.h"
#include "ui/qt_text.h"

namespace zr {

namespace {

enum class Kind { Label, Image, Panel, Button, Edit, CheckBox, StatusBar, ComboBox, ListView };

// One component of the window, in the order of its position N.
struct Component {
    const char* name;
    Kind kind;
    QRect rect;  // in the client area
    const char* caption;
    int tab;  // position in the tab sequence; -1 for none
    const char* hint;
    bool disabled;  // at creation
    bool onPanel;   // a child of Panel1
};

const char* const kEditHint = "enter any valid string to fit into filename";
const char* const kListHint =
    "more strings allowed separate with ';' {to kill ';' in string use ';;'}";
const char* const kCharsHint = "enter character(s) without separators";

constexpr int kPanelLeft = 68;
constexpr int kPanelTop = 417;

// clang-format off
const Component kComponents[] = {
    {"Label1", Kind::Label, {6, 11, 36, 13}, "Start dir", -1, nullptr, false, false},
    {"Label3", Kind::Label, {6, 57, 41, 13}, "Filetypes", -1, nullptr, false, false},
    {"Label4", Kind::Label, {6, 417, 36, 13}, "Options", -1, nullptr, false, false},
    {"Label2", Kind::Label, {89, 262, 9, 13}, "to", -1, nullptr, false, false},
    {"Label5", Kind::Label, {89, 212, 9, 13}, "to", -1, nullptr, false, false},
    {"Image1", Kind::Image, {3, 475, 32, 32}, nullptr, -1, nullptr, true, false},
    {"Panel1", Kind::Panel, {kPanelLeft, kPanelTop, 221, 58}, nullptr, 27, nullptr, false, false},
    {"Button1", Kind::Button, {73, 487, 135, 24}, "&Go !", 24, "start rename process", false, false},
    {"Edit1", Kind::Edit, {64, 8, 209, 21}, nullptr, 0, "specify directory with files to rename", false, false},
    {"CheckBox1", Kind::CheckBox, {65, 31, 168, 16}, "process directories recursively", 21,
     "if checked renamer does rename on all subdirectories of start dir", false, false},
    {"Button2", Kind::Button, {276, 8, 13, 20}, "...", 1, "browse for start folder", false, false},
    {"Edit3", Kind::Edit, {64, 54, 209, 21}, nullptr, 2,
     "on waht files apply rename, wildcards allowed, more filters separate with ';'", false, false},
    {"StatusBar1", Kind::StatusBar, {0, 519, 594, 19}, nullptr, -1, nullptr, false, false},
    {"CheckBox2", Kind::CheckBox, {8, 349, 97, 17}, "Add prefix", 13,
     "if checked specified string is inserted before filename", false, false},
    {"Edit2", Kind::Edit, {108, 347, 169, 21}, nullptr, 14, kEditHint, true, false},
    {"CheckBox3", Kind::CheckBox, {8, 373, 97, 17}, "Append suffix", 15,
     "if checked specified string is insertred behind last char of filename excluding extension "
     "(before last dot)", false, false},
    {"Edit4", Kind::Edit, {108, 371, 169, 21}, nullptr, 16, kEditHint, true, false},
    {"CheckBox4", Kind::CheckBox, {8, 289, 97, 17}, "Convert case", 9,
     "if checked renamer does case converting on filename excluding extension (after last dot)",
     false, false},
    {"ComboBox1", Kind::ComboBox, {108, 287, 105, 21}, nullptr, 10,
     "select one type of case conversion", true, false},
    {"CheckBox5", Kind::CheckBox, {8, 137, 97, 17}, "Kill string(s)", 5,
     "if checked renamer removes specified string(s) from filename", false, false},
    {"Edit5", Kind::Edit, {108, 135, 169, 21}, nullptr, 6, kListHint, true, false},
    {"CheckBox6", Kind::CheckBox, {108, 310, 113, 17}, "inclusive extension", 11,
     "if checked case convertion is done in full filename", true, false},
    {"CheckBox7", Kind::CheckBox, {108, 326, 97, 17}, "only in extension", 12,
     "if checked case convertion is done only in extension (after last dot)", true, false},
    {"CheckBox8", Kind::CheckBox, {108, 394, 97, 17}, "after extension", 17,
     "if checked specified string is appended behind last char inclusive extension", true, false},
    {"CheckBox9", Kind::CheckBox, {8, 240, 97, 17}, "Convert char(s)", 18,
     "if checked renamer convers character(s) from first field to characters(s) in second field",
     false, false},
    {"Edit6", Kind::Edit, {108, 237, 169, 21}, nullptr, 19, kCharsHint, true, false},
    {"Edit7", Kind::Edit, {108, 260, 169, 21}, nullptr, 20, kCharsHint, true, false},
    {"Edit8", Kind::Edit, {108, 159, 169, 21}, nullptr, 8, kCharsHint, true, false},
    {"CheckBox10", Kind::CheckBox, {8, 161, 97, 17}, "Kill char(s)", 7,
     "if checked renamer removes specified character(s) from filename", false, false},
    {"Button3", Kind::Button, {214, 487, 135, 24}, "&Undo", 25,
     "undone changes in last rename process", true, false},
    {"CheckBox11", Kind::CheckBox, {64, 93, 169, 17}, "ignore case in wildcard(s)", 3,
     "if checked specified filters are not CaSe sensitive", false, false},
    {"CheckBox12", Kind::CheckBox, {64, 110, 169, 17}, "ignore case only in extension(s)", 4,
     "if checked specified filters are not CaSe sensitive in file extension (after last dot)",
     false, false},
    {"CheckBox13", Kind::CheckBox, {74, 422, 207, 17}, "make batch file instead of renaming", 22,
     "if checked files are not renamed, but batch file is generated", false, true},
    {"CheckBox15", Kind::CheckBox, {74, 455, 207, 17}, "remember last settings", 23,
     "if checked renamer restores used settings on next program run", false, true},
    {"ListView1", Kind::ListView, {296, 8, 289, 466}, nullptr, 28, nullptr, false, false},
    {"CheckBox16", Kind::CheckBox, {8, 190, 97, 17}, "Convert string(s)", 29,
     "if checked renamer convers string(s) from first field to string(s) in second field",
     false, false},
    {"Edit9", Kind::Edit, {108, 187, 169, 21}, nullptr, 30, kListHint, true, false},
    {"Edit10", Kind::Edit, {108, 210, 169, 21}, nullptr, 31, kListHint, true, false},
    {"Button5", Kind::Button, {355, 487, 135, 24}, "&Scan", 32,
     "scans for filename changes and place them in listview", false, false},
    {"CheckBox17", Kind::CheckBox, {74, 438, 191, 17}, "auto rescan on changes", 33,
     "if changes are done in settings scan function is initiated", true, true},
    {"CheckBox14", Kind::CheckBox, {64, 76, 121, 17}, "only directories", 34,
     "if checked all setting are applied only on directories", false, false},
};
// clang-format on

// What a screen reader calls the controls whose own text does not say what they are for: a
// field its label, or the check box that switches it on; "..." what it does.
const SpokenName kSpokenNames[] = {
    {"Edit1", "Start dir", "Label1"},
    {"Button2", "Browse for start dir"},
    {"Edit3", "Filetypes", "Label3"},
    {"Edit5", "Kill string(s)"},
    {"Edit8", "Kill char(s)"},
    {"Edit9", "Convert string(s)"},
    {"Edit10", "Convert string(s) to", "Label5"},
    {"Edit6", "Convert char(s)"},
    {"Edit7", "Convert char(s) to", "Label2"},
    {"ComboBox1", "Convert case"},
    {"Edit2", "Add prefix"},
    {"Edit4", "Append suffix"},
    {"ListView1", "Preview of the renames"},
    {"Panel1", "Options", "Label4"},
    {"StatusBar1", "Status"},
};

const char* const kCaseModes[] = {"lower case", "upper case", "1st upper", "all 1st upper"};

constexpr int kColumnWidths[PreviewModel::kColumnCount] = {90, 90, 55, 50, 50};

// The size of the desktop's font that the layout is made for: the design's 8-point MS Sans Serif
// is about as large as the 9-point (12-pixel) sans serif of a Linux desktop. A larger desktop
// font scales the whole layout, as a scale factor of the display does.
constexpr int kDesignFontPixels = 12;

int pixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

// The picture at the lower left: drawn as it is, although the control is disabled (so that it
// takes no mouse input); a disabled QLabel would grey it out.
class IconImage : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawPixmap(rect(), appIconPixmap()); }
};

// The room a label has on its line: up to the next control to its right.
int labelRoom(const QLabel& label) {
    int room = std::numeric_limits<int>::max();
    for (QObject* object : label.parentWidget()->children()) {
        auto* sibling = qobject_cast<QWidget*>(object);
        if (!sibling || sibling == &label || sibling->x() <= label.x() ||
            sibling->geometry().bottom() < label.y() || sibling->y() > label.geometry().bottom())
            continue;
        room = std::min(room, sibling->x() - label.x() - 2);
    }
    return room;
}

}  // namespace

Tmain::Tmain(FileSystem& fileSystem, Clock& clock, Dialogs& dialogs, SettingsStore& store,
             QWidget* parent)
    : QWidget(parent),
      m_fileSystem(fileSystem),
      m_dialogs(dialogs),
      m_store(store),
      m_clock(clock),
      m_renamer(m_settings, fileSystem, clock, *this),
      m_stateJournal(fileSystem, userStateFolder()) {
    m_renamer.setUndoKeeper(&m_stateJournal);
    // Said at once, in a box: the undo data on the disk no longer matches what Undo will do.
    m_stateJournal.onProblem(
        [this](const std::string& problem) { showMessage(MessageType::Warning, problem); });
    // Started in a folder that was removed: the run's files go to the home folder instead of
    // having nowhere to go.
    if (m_renamer.flags().CurrentDir.empty())
        m_renamer.flags().CurrentDir = QFile::encodeName(QDir::homePath()).toStdString();
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Zentarel Renamer v0.3 by Vornik"));
    setWindowIcon(QIcon(appIconPixmap()));
    m_scale = std::max(1.0, double(pixelSize(QApplication::font(this))) / kDesignFontPixels);
    setMinimumSize(scaled(kMinWindowWidth - kFrameWidth), scaled(kClientHeight));
    setMaximumSize(scaled(kMaxWindowWidth - kFrameWidth), scaled(kClientHeight));
    createControls();
    createPopupMenu();
    orderTabs();
    fitFont();
    createRulesSign();
    bindOptions();
    installInputGate();
    setStatusText(kHomePage);
    move(196, 108);
    resize(scaled(594), scaled(kClientHeight));
    FormResize();
    FormCreate();
    adoptInterruptedRun();
}

Tmain::~Tmain() {
    m_settings.setChangeListener({});
    m_settings.setExtendedChangeListener({});
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void Tmain::createControls() {
    QFrame* panel = nullptr;
    for (const Component& component : kComponents) {
        QWidget* parent = component.onPanel ? static_cast<QWidget*>(panel) : this;
        QWidget* widget = nullptr;
        const QString caption = QString::fromLatin1(component.caption);
        switch (component.kind) {
            case Kind::Label: {
                auto* label = new QLabel(caption, parent);
                m_busyControls.push_back(label);
                widget = label;
                break;
            }
            case Kind::Image:
                widget = new IconImage(parent);
                break;
            case Kind::Panel:
                panel = new QFrame(parent);
                panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                widget = panel;
                break;
            case Kind::Button:
                widget = new QPushButton(caption, parent);
                break;
            case Kind::Edit: {
                auto* lineEdit = new QLineEdit(parent);
                lineEdit->setMaxLength(std::numeric_limits<int>::max());
                m_busyControls.push_back(lineEdit);
                widget = lineEdit;
                break;
            }
            case Kind::CheckBox:
                widget = new QCheckBox(caption, parent);
                m_busyControls.push_back(widget);
                break;
            case Kind::StatusBar:
                m_statusBar1 = new QStatusBar(parent);
                m_statusBar1->setSizeGripEnabled(false);
                m_statusBar1->installEventFilter(this);
                widget = m_statusBar1;
                break;
            case Kind::ComboBox:
                m_comboBox1 = new QComboBox(parent);
                for (const char* mode : kCaseModes)
                    m_comboBox1->addItem(QString::fromLatin1(mode));
                m_busyControls.push_back(m_comboBox1);
                widget = m_comboBox1;
                break;
            case Kind::ListView:
                m_preview = new PreviewModel(m_clock, this);
                m_listView1 = new QTableView(parent);
                widget = m_listView1;
                break;
        }
        widget->setObjectName(QString::fromLatin1(component.name));
        const QRect rect = scaled(component.rect);
        widget->setGeometry(
            component.onPanel ? rect.translated(-scaled(kPanelLeft), -scaled(kPanelTop)) : rect);
        if (component.hint)
            widget->setToolTip(QString::fromLatin1(component.hint));
        if (component.disabled)
            widget->setEnabled(false);
        if (const auto option = RenameSettings::findByControlName(component.name))
            m_optionControls[static_cast<std::size_t>(*option)] = widget;
    }
    m_button1 = findChild<QPushButton*>(QStringLiteral("Button1"));
    m_button2 = findChild<QPushButton*>(QStringLiteral("Button2"));
    m_button3 = findChild<QPushButton*>(QStringLiteral("Button3"));
    m_button5 = findChild<QPushButton*>(QStringLiteral("Button5"));
    // Button1 and Button5 are the commands' own: the busy state leaves them to the commands.
    m_busyControls.push_back(m_button2);
    m_busyControls.push_back(m_button3);
    m_button1->setDefault(true);

    connect(m_button1, &QPushButton::clicked, this,
            [this] { guard([this] { commandPressed(m_button1, &Tmain::Button1Click); }); });
    connect(m_button2, &QPushButton::clicked, this, [this] { guard([this] { Button2Click(); }); });
    connect(m_button3, &QPushButton::clicked, this,
            [this] { guard([this] { commandPressed(m_button3, &Tmain::Button3Click); }); });
    connect(m_button5, &QPushButton::clicked, this,
            [this] { guard([this] { commandPressed(m_button5, &Tmain::Button5Click); }); });
    edit(Option::Edit1)->installEventFilter(this);
    createListView();
}

void Tmain::createListView() {
    m_listView1->setModel(m_preview);
    m_listView1->setShowGrid(true);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->setWordWrap(false);
    m_listView1->setCornerButtonEnabled(false);
    m_listView1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_listView1->verticalHeader()->hide();
    // Fixed row heights: no row is ever measured, however many there are.
    m_listView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = m_listView1->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    for (int i = 0; i < PreviewModel::kColumnCount; ++i)
        header->resizeSection(i, scaled(kColumnWidths[i]));
    // The selection stays as visible when the list loses the focus.
    QPalette palette = m_listView1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
    m_listView1->setPalette(palette);
}

void Tmain::createPopupMenu() {
    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const char* name, const char* caption) {
        QAction* action = m_popupMenu1->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto separator = [this](const char* name) {
        m_popupMenu1->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    m_savesettings1 = add("Savesettings1", "&Save settings");
    m_loadSettings1 = add("LoadSettings1", "&Load settings");
    m_restoredefaults1 = add("Restoredefaults1", "&Restore defaults");
    separator("N1");
    m_saveUndoasbat1 = add("SaveUndoasbat1", "Save &Undo as .bat");
    separator("N2");
    m_viewlastfailurelog1 = add("Viewlastfailurelog1", "&View last failure log");
    m_saveUndoasbat1->setEnabled(false);
    m_viewlastfailurelog1->setEnabled(false);
    // After the design's items, which keep their order.
    separator("N3");
    m_moreRules1 = add("MoreRules1", "&More rules...");
    m_moreRules1->setShortcut(QKeySequence(QString::fromLatin1(kMoreRulesShortcut)));
    // The window's own, so that the shortcut works while the menu is closed.
    addAction(m_moreRules1);

    connect(m_savesettings1, &QAction::triggered, this,
            [this] { guard([this] { Savesettings1Click(); }); });
    connect(m_loadSettings1, &QAction::triggered, this,
            [this] { guard([this] { LoadSettings1Click(); }); });
    connect(m_restoredefaults1, &QAction::triggered, this,
            [this] { guard([this] { Restoredefaults1Click(); }); });
    connect(m_saveUndoasbat1, &QAction::triggered, this,
            [this] { guard([this] { SaveUndoasbat1Click(); }); });
    connect(m_viewlastfailurelog1, &QAction::triggered, this,
            [this] { guard([this] { Viewlastfailurelog1Click(); }); });
    connect(m_moreRules1, &QAction::triggered, this,
            [this] { guard([this] { MoreRules1Click(); }); });
}

void Tmain::createRulesSign() {
    // Below "Append suffix", where the column of rules ends: the last line of that column says
    // which rules come on top of it. Made after the font is fitted, which it must not shrink.
    m_rulesSign = new QLabel(this);
    m_rulesSign->setObjectName(QStringLiteral("MoreRulesSign"));
    m_rulesSign->setGeometry(scaled(QRect(8, 394, 97, 17)));
    m_rulesSign->setAccessibleName(QStringLiteral("More rules on"));
    m_rulesSign->setCursor(Qt::PointingHandCursor);
    m_rulesSign->installEventFilter(this);
    m_rulesSign->hide();
    m_busyControls.push_back(m_rulesSign);
}

void Tmain::orderTabs() {
    std::vector<const Component*> sequence;
    for (const Component& component : kComponents) {
        // The panel holds its boxes, which take the focus themselves.
        if (component.tab >= 0 && component.kind != Kind::Panel)
            sequence.push_back(&component);
    }
    std::sort(sequence.begin(), sequence.end(),
              [](const Component* a, const Component* b) { return a->tab < b->tab; });
    std::vector<const char*> names;
    for (const Component* component : sequence)
        names.push_back(component->name);
    chainTabs(*this, names);
    nameControls(*this, kSpokenNames);
}

// The platform's default font, at the largest size (at most its own) at which every caption and
// text fits its control at the design geometry, scaled. Labels then take the width of their text,
// as far as their room allows.
void Tmain::fitFont() {
    const QFont base = QApplication::font(this);
    const int startSize = pixelSize(base);
    const auto widgets = findChildren<QWidget*>();
    const QHeaderView* header = m_listView1->horizontalHeader();
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    auto fits = [&] {
        for (QWidget* w : widgets) {
            if (auto* box = qobject_cast<QCheckBox*>(w)) {
                if (box->sizeHint().width() > box->width() ||
                    box->fontMetrics().height() > box->height())
                    return false;
            } else if (auto* label = qobject_cast<QLabel*>(w)) {
                if (label->sizeHint().width() > labelRoom(*label))
                    return false;
            } else if (auto* button = qobject_cast<QPushButton*>(w)) {
                if (button->fontMetrics().horizontalAdvance(button->text().remove('&')) >
                    button->width())
                    return false;
            } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
                // The text and the frame around it.
                if (w->fontMetrics().height() + 6 > w->height())
                    return false;
            }
        }
        for (int i = 0; i < PreviewModel::kColumnCount; ++i) {
            const QString caption =
                m_preview->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
            if (header->fontMetrics().horizontalAdvance(caption) + 2 * headerMargin >
                scaled(kColumnWidths[i]))
                return false;
        }
        return true;
    };
    // A condensed face of the same family serves where the normal one would have to be tiny.
    auto fitSize = [&] {
        QFont font = base;
        for (int size = startSize; size > 8; --size) {
            for (int stretch : {int(QFont::Unstretched), int(QFont::Condensed)}) {
                font.setPixelSize(size);
                font.setStretch(stretch);
                setFont(font);
                if (fits())
                    return;
            }
        }
    };
    fitSize();
    for (QLabel* label : findChildren<QLabel*>())
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    const int lineHeight = m_listView1->fontMetrics().height();
    m_listView1->verticalHeader()->setDefaultSectionSize(lineHeight + 4);
    // The mark of a rename that will fail fits in its row.
    m_listView1->setIconSize(QSize(lineHeight, lineHeight));
}

void Tmain::bindOptions() {
    for (const OptionInfo& info : RenameSettings::all()) {
        const Option option = info.option;
        showOption(option);
        if (info.kind == ControlKind::CheckBox) {
            connect(checkBox(option), &QCheckBox::toggled, this,
                    [this, option](bool on) { guard([&] { m_settings.setChecked(option, on); }); });
        } else if (info.kind == ControlKind::Edit) {
            connect(edit(option), &QLineEdit::textChanged, this, [this, option](const QString& t) {
                guard([&] { m_settings.setText(option, t.toUtf8().toStdString()); });
            });
        }
    }
    connect(m_comboBox1, &QComboBox::currentIndexChanged, this,
            [this](int index) { guard([&] { m_settings.setItemIndex(index); }); });
    m_settings.setChangeListener([this](Option option) { optionChanged(option); });
    m_settings.setExtendedChangeListener(
        [this](ExtendedOption option) { extendedChanged(option); });
    rulesChanged();
}

void Tmain::showOption(Option option) {
    QWidget* control = optionControl(option);
    const QSignalBlocker blocker(control);
    switch (RenameSettings::info(option).kind) {
        case ControlKind::CheckBox:
            checkBox(option)->setChecked(m_settings.checked(option));
            break;
        case ControlKind::Edit: {
            const QString text = fromBytes(m_settings.text(option));
            // Unchanged text is left alone, so typing keeps its cursor and undo history.
            if (edit(option)->text() != text)
                edit(option)->setText(text);
            break;
        }
        case ControlKind::ComboBox:
            m_comboBox1->setCurrentIndex(m_settings.itemIndex());
            break;
        case ControlKind::Other:
            break;
    }
}

void Tmain::FormResize() {
    // The list is as wide as the window less 310 design pixels; the frame does not scale.
    m_listView1->resize(width() - scaled(310 - kFrameWidth), m_listView1->height());
    const int button1Left = width() / 2 - (3 * m_button1->width() + scaled(12)) / 2;
    m_button1->move(button1Left, m_button1->y());
    m_button3->move(m_button1->x() + m_button1->width() + scaled(6), m_button3->y());
    m_button5->move(m_button3->x() + m_button3->width() + scaled(6), m_button5->y());
    m_statusBar1->setGeometry(0, height() - m_statusBar1->height(), width(),
                              m_statusBar1->height());
}

int Tmain::scaled(int designPixels) const {
    return static_cast<int>(std::lround(designPixels * m_scale));
}

QRect Tmain::scaled(const QRect& design) const {
    // Edges that meet in the design still meet.
    const int left = scaled(design.left());
    const int top = scaled(design.top());
    return QRect(left, top, scaled(design.left() + design.width()) - left,
                 scaled(design.top() + design.height()) - top);
}

QWidget* Tmain::optionControl(Option option) const {
    return m_optionControls[static_cast<std::size_t>(option)];
}

QCheckBox* Tmain::checkBox(Option option) const {
    return static_cast<QCheckBox*>(optionControl(option));
}

QLineEdit* Tmain::edit(Option option) const {
    return static_cast<QLineEdit*>(optionControl(option));
}

QPushButton* Tmain::button(Control control) const {
    switch (control) {
        case Control::Button1:
            return m_button1;
        case Control::Button3:
            return m_button3;
        case Control::Button5:
            return m_button5;
        default:
            return nullptr;
    }
}

QAction* Tmain::action(Control control) const {
    return control == Control::SaveUndoasbat1 ? m_saveUndoasbat1 : m_viewlastfailurelog1;
}

}  // namespace zr
