// main of the Windows test programs: GoogleTest's own printer, except that the message of a
// failure or a skip is printed here. That printer also hands each such message to
// OutputDebugStringA, which Wine raises as an exception; where qemu-i386 runs Wine's 32-bit
// half, raising it can end the process, and a single skipped test ended the 32-bit suite.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using testing::TestEventListener;

class PrinterWithoutDebugOutput : public TestEventListener {
public:
    explicit PrinterWithoutDebugOutput(TestEventListener* printer) : printer_(printer) {}

    void OnTestPartResult(const testing::TestPartResult& result) override {
        if (result.type() == testing::TestPartResult::kSuccess) return;
        std::printf("%s:%d: %s\n%s\n", result.file_name() != nullptr ? result.file_name() : "unknown file",
                    result.line_number(), result.skipped() ? "Skipped" : "Failure", result.message());
        std::fflush(stdout);
    }

    // Everything else as GoogleTest prints it.
    void OnTestProgramStart(const testing::UnitTest& u) override { printer_->OnTestProgramStart(u); }
    void OnTestIterationStart(const testing::UnitTest& u, int i) override { printer_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override { printer_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override { printer_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
    void OnTestCaseStart(const testing::TestCase& s) override { printer_->OnTestCaseStart(s); }
    void OnTestStart(const testing::TestInfo& t) override { printer_->OnTestStart(t); }
    void OnTestDisabled(const testing::TestInfo& t) override { printer_->OnTestDisabled(t); }
    void OnTestEnd(const testing::TestInfo& t) override { printer_->OnTestEnd(t); }
    void OnTestSuiteEnd(const testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
    void OnTestCaseEnd(const testing::TestCase& s) override { printer_->OnTestCaseEnd(s); }
    void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override { printer_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override { printer_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const testing::UnitTest& u, int i) override { printer_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const testing::UnitTest& u) override { printer_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<TestEventListener> printer_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    auto& listeners = testing::UnitTest::GetInstance()->listeners();
    listeners.Append(new PrinterWithoutDebugOutput(listeners.Release(listeners.default_result_printer())));
    return RUN_ALL_TESTS();
}
