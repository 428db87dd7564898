// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/name_text.h"

namespace zr {
namespace {

using namespace std::chrono_literals;

class ProgressLineTest : public ::testing::Test {
protected:
    ProgressLineTest() { m_stream = open_memstream(&m_buffer, &m_size); }
    ~ProgressLineTest() override {
        std::fclose(m_stream);
        std::free(m_buffer);
    }
    // What was written since the last call.
    std::string written() {
        std::fflush(m_stream);
        std::string all(m_buffer, m_size);
        std::string fresh = all.substr(m_read);
        m_read = all.size();
        return fresh;
    }

    std::FILE* m_stream = nullptr;
    const ProgressLine::TimePoint t0 = ProgressLine::TimePoint{} + 1h;

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::size_t m_read = 0;
};

TEST_F(ProgressLineTest, QuietForATenthOfASecondThenAtMostTenTimesASecond) {
    ProgressLine line(m_stream, 80, t0);
    line.update(1, "/a", t0 + 99ms);
    EXPECT_EQ(written(), "");
    line.erase();
    EXPECT_EQ(written(), "");  // nothing shown, nothing to erase
    line.update(2, "/a", t0 + 100ms);
    EXPECT_EQ(written(), "\r\033[K2 entries  /a");
    line.update(3, "/b", t0 + 150ms);
    line.update(4, "/b", t0 + 199ms);
    EXPECT_EQ(written(), "");
    line.update(5, "/c", t0 + 200ms);
    EXPECT_EQ(written(), "\r\033[K5 entries  /c");
    line.erase();
    EXPECT_EQ(written(), "\r\033[K");
    EXPECT_FALSE(line.shown());

    // The renames after the walk: how many of how many, and how fast since they began.
    line.updateRenames(150, 1000, t0 + 250ms, t0 + 300ms);
    EXPECT_EQ(written(), "\r\033[K150 of 1000 renamed, 3000 per second");
    line.updateRenames(151, 1000, t0 + 250ms, t0 + 350ms);
    EXPECT_EQ(written(), "");
}

TEST_F(ProgressLineTest, FitsTheTerminalAndEscapesControlCharacters) {
    ProgressLine line(m_stream, 30, t0);
    line.update(123, "/a/very/long/directory/path/with\nbreak", t0 + 1s);
    const std::string text = written().substr(4);  // after "\r\033[K"
    EXPECT_LE(displayWidth(text), 29u);
    EXPECT_TRUE(text.starts_with("123 entries  ...")) << text;
    EXPECT_TRUE(text.ends_with("with\\nbreak")) << text;
}

}  // namespace
}  // namespace zr
