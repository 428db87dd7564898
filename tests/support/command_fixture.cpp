// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/command_fixture.h"

namespace zr::test {

CommandTest::CommandTest() : work(temp / "work"), tree(temp / "tree") {
    makeDirectory(work);
    makeDirectory(tree);
    fs.setInitialDirectory(work);
    renamer = std::make_unique<Renamer>(settings, fs, clock, view);
}

void CommandTest::startAt(const std::string& relative, const std::string& filters) {
    settings.setText(Option::Edit1, temp / relative);
    settings.setText(Option::Edit3, filters);
}

void CommandTest::lowerCaseWholeName() {
    settings.setChecked(Option::CheckBox4, true);
    settings.setItemIndex(kLowerCase);
    settings.setChecked(Option::CheckBox6, true);
}

}  // namespace zr::test
