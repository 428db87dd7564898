// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the fault shim, for a test that has it preloaded into itself (ctest does): for the
// calls no real condition makes fail, or not at the moment a test needs.
#pragma once

#include <dlfcn.h>

#include <string>

namespace zr::test {

class ShimRules {
public:
    ShimRules()
        : m_set(reinterpret_cast<void (*)(const char*)>(dlsym(RTLD_DEFAULT, "zr_fault_shim_set"))) {
    }
    ~ShimRules() {
        if (m_set)
            m_set("");
    }
    ShimRules(const ShimRules&) = delete;
    ShimRules& operator=(const ShimRules&) = delete;

    bool loaded() const { return m_set != nullptr; }
    void set(const std::string& rules) { m_set(rules.c_str()); }

private:
    void (*m_set)(const char*);
};

}  // namespace zr::test
