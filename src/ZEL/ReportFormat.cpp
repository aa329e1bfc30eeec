#include "ZEL/ReportFormat.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

std::string FormatInt(long long Value, int Width) {
  std::string s = std::to_string(Value);
  if (static_cast<int>(s.size()) < Width) s.insert(0, static_cast<std::size_t>(Width) - s.size(), ' ');
  return s;
}

std::string FormatReal(double Value, int Width, int Decimals) {
  std::string body;
  if (!std::isfinite(Value)) {
    body = std::isnan(Value) ? "NAN" : (Value < 0 ? "-INF" : "INF");
  } else {
    // 18 significant digits: d.ddddddddddddddddde±x
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(Value));
    std::uint64_t digits = 0;
    for (const char* p = buf; *p && *p != 'e'; ++p)
      if (*p >= '0' && *p <= '9') digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    // |Value| = digits * 10^(exponent - 17); scale by 10^Decimals and round half away from zero.
    const int shift = exponent - 17 + Decimals;
    std::string scaled;
    if (shift >= 0) {
      scaled = std::to_string(digits) + std::string(static_cast<std::size_t>(shift), '0');
    } else if (shift >= -19) {
      std::uint64_t div = 1;
      for (int i = 0; i < -shift; ++i)
        div *= 10;
      std::uint64_t q = digits / div;
      const std::uint64_t rem = digits % div;
      if (rem >= div - rem) ++q;
      scaled = std::to_string(q);
    } else {
      scaled = "0";
    }
    if (scaled.size() < static_cast<std::size_t>(Decimals) + 1)
      scaled.insert(0, static_cast<std::size_t>(Decimals) + 1 - scaled.size(), '0');
    if (Decimals > 0) {
      const std::size_t point = scaled.size() - static_cast<std::size_t>(Decimals);
      scaled = scaled.substr(0, point) + '.' + scaled.substr(point);
    }
    const bool zero = scaled.find_first_not_of("0.") == std::string::npos;
    body = std::move(scaled);
    if (Value < 0 && !zero) body.insert(body.begin(), '-');
  }
  if (static_cast<int>(body.size()) < Width)
    body.insert(0, static_cast<std::size_t>(Width) - body.size(), ' ');
  return body;
}

double ProbabilityInRange(double P, double Fallback) {
  return (P >= 0.0 && P <= 1.0) ? P : Fallback;
}

TReportFile::TReportFile(const std::string& FileName) : Name(FileName) {
  errno = 0;
  File = std::fopen(FileName.c_str(), "wb");
  if (!File) Fail("Cannot create report file", errno);
}

TReportFile::~TReportFile() {
  if (File) std::fclose(File);
}

void TReportFile::WriteLine(const std::string& Line) {
  if (!File) Fail("Cannot write report file", EBADF);
  errno = 0;
  const std::string out = Line + "\r\n";
  if (std::fwrite(out.data(), 1, out.size(), File) != out.size() || std::fflush(File) != 0)
    Fail("Cannot write report file", errno);
}

void TReportFile::Close() {
  if (!File) return;
  errno = 0;
  const int rc = std::fclose(File);
  File = nullptr;
  if (rc != 0) Fail("Cannot close report file", errno);
}

void TReportFile::Fail(const char* What, int Error) {
  throw std::runtime_error(std::string(What) + " '" + Name +
                           "': " + (Error ? std::strerror(Error) : "I/O error"));
}
