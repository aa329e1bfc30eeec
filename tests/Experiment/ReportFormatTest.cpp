#include "Experiment/ReportFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string TempFile(const std::string& Name) {
  return (std::filesystem::temp_directory_path() / Name).string();
}
} // namespace

TEST(ReportFormat, NumbersRoundHalfAwayFromZeroAtTheLastDigit) {
  EXPECT_EQ(FormatReal(12.25, 8, 1), "    12.3");
  EXPECT_EQ(FormatReal(12.75, 8, 1), "    12.8");
  EXPECT_EQ(FormatReal(12.35, 8, 1), "    12.3"); // stored as 12.3499999999999996...
  EXPECT_EQ(FormatReal(47.5, 8, 1), "    47.5");
  EXPECT_EQ(FormatReal(100.0, 8, 1), "   100.0");
  EXPECT_EQ(FormatReal(0.0001, 6, 5), "0.00010");
  EXPECT_EQ(FormatReal(1.0, 6, 5), "1.00000");
  EXPECT_EQ(FormatReal(0.0, 6, 5), "0.00000");
  EXPECT_EQ(FormatReal(-1.0, 6, 2), " -1.00");
  EXPECT_EQ(FormatReal(72.7, 6, 2), " 72.70");
  EXPECT_EQ(FormatReal(12.5, 8, 2), "   12.50");
  EXPECT_EQ(FormatReal(0.005, 6, 2), "  0.01"); // 0.005000000000000000104 -> 0.0050000000000000001 -> up
  EXPECT_EQ(FormatReal(123456.789, 4, 1), "123456.8");
  EXPECT_EQ(FormatReal(0.99999, 6, 2), "  1.00");
  EXPECT_EQ(FormatInt(5, 7), "      5");
  EXPECT_EQ(FormatInt(-1), "-1");
  EXPECT_EQ(FormatInt(1234567, 5), "1234567");
  EXPECT_EQ(ProbabilityInRange(1.5, 1.0), 1.0);
  EXPECT_EQ(ProbabilityInRange(-0.2, 0.0), 0.0);
  EXPECT_EQ(ProbabilityInRange(1.0, 0.0), 1.0);
}

TEST(ReportFile, AnOldReportIsReplacedByTheFirstLineNotByTheOpening) {
  const std::string name = TempFile("zel-report-replace.txt");
  const std::string old = "an old report\r\nof two lines\r\n";
  const auto writeOld = [&] { std::ofstream(name, std::ios::binary) << old; };
  writeOld();
  {
    TReportFile report(name);
    EXPECT_EQ(ReadFile(name), old) << "opened, nothing written yet";
    report.WriteLine("new");
    EXPECT_EQ(ReadFile(name), "new\r\n");
  }
  // Given up before its first line (a run that failed), the old report stays whole.
  writeOld();
  { TReportFile report(name); }
  EXPECT_EQ(ReadFile(name), old);
  // Closed with no line, it is empty, as a report of nothing.
  TReportFile(name).Close();
  EXPECT_EQ(ReadFile(name), "");
  std::filesystem::remove(name);
}

TEST(ReportFile, ASecondWriterIsRefusedBeforeAnythingIsCut) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the file system under Node has no advisory locks";
#endif
  const std::string name = TempFile("zel-report-lock.txt");
  {
    TReportFile first(name);
    first.WriteLine("first");
    try {
      TReportFile second(name);
      ADD_FAILURE() << "a second writer was let in";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot write report file '" + name + "': another process is writing it");
    }
    EXPECT_THROW(TReportFile::CheckWritable(name), std::runtime_error);
    first.WriteLine("second");
    first.Close();
  }
  EXPECT_EQ(ReadFile(name), "first\r\nsecond\r\n");
  // Closed, the report is free again, and a new writer starts it afresh.
  TReportFile::CheckWritable(name);
  EXPECT_EQ(ReadFile(name), "first\r\nsecond\r\n") << "a check changes nothing";
  TReportFile(name).WriteLine("new");
  EXPECT_EQ(ReadFile(name), "new\r\n");
  std::filesystem::remove(name);
  TReportFile::CheckWritable(name);
  EXPECT_FALSE(std::filesystem::exists(name)) << "a check leaves no file behind";
}
