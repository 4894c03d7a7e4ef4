// Test suites that share one start of the program: a suite's tests run in
// the order written, against the program its SetUpTestSuite started.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/ui/country/country_program.h"

namespace country {

class ProgramTest : public ::testing::Test {
protected:
    static void StartProgram(const std::optional<std::string>& table) {
        program_ = std::make_unique<CountryProgram>();
        error_.clear();
        if (!program_->Start(table, &error_) && error_.empty()) error_ = "the program did not start";
    }
    static void StopProgram() { program_.reset(); }

    void SetUp() override { ASSERT_TRUE(error_.empty()) << error_; }

    static CountryProgram& P() { return *program_; }

    static std::unique_ptr<CountryProgram> program_;
    static std::string error_;
};

// The built table and one modem on COM4: the query and setting tests.
class OneModem : public ProgramTest {
protected:
    static void SetUpTestSuite() { StartProgram(std::nullopt); }
    static void TearDownTestSuite() { StopProgram(); }

    static int IndexOf(const std::string& name) {
        const std::vector<Row> rows = BuiltTable();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return static_cast<int>(i);
        return -1;
    }
    static Row RowOf(const std::string& name) { return BuiltTable().at(static_cast<size_t>(IndexOf(name))); }
};

}  // namespace country
