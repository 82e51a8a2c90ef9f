#include "documents/external_readers.h"

#include <string>

#include "engine/memory.h"

namespace orvalis::documents {
namespace {

std::string durationText(std::chrono::milliseconds time) {
  if (time.count() % 1000 == 0) return std::to_string(time.count() / 1000) + " s";
  return std::to_string(time.count()) + " ms";
}

// The reason a reading program gave no text, other than its own message.
std::string failureOf(const ChildResult& run, const char* program, const DocumentLimits& limits) {
  using Outcome = ChildResult::Outcome;
  switch (run.outcome) {
    case Outcome::kNotStarted:
      return std::string(program) + " cannot be run: " + run.error;
    case Outcome::kTimedOut:
      return std::string(program) + " took longer than " + durationText(limits.childTime) +
             " to read it and was stopped";
    case Outcome::kTooMuchOutput:
      return tooMuchTextReason(limits.textSize);
    case Outcome::kSignalled:
      return std::string(program) + " failed on it (signal " + std::to_string(run.signal) +
             "; it may need more than " + memorySizeText(limits.childMemory) +
             " of memory, or the file is damaged)";
    case Outcome::kExited:
      break;
  }
  return {};
}

DocumentText textOf(const std::string& output, const DocumentLimits& limits) {
  TextBuilder builder(limits.textSize);
  builder.append(output);
  return finishText(builder, limits.textSize);
}

ChildLimits childLimits(const DocumentLimits& limits) {
  return {limits.childTime, limits.childMemory, limits.textSize};
}

}  // namespace

DocumentText pdfTextOf(const ChildResult& run, const DocumentLimits& limits) {
  if (std::string failure = failureOf(run, "pdftotext", limits); !failure.empty()) {
    return {{}, std::move(failure)};
  }
  if (run.exitStatus != 0) {
    if (run.errors.find("assword") != std::string::npos) {
      return {{}, "it is protected by a password"};
    }
    if (run.exitStatus == 3) return {{}, "its permissions forbid copying its text"};
    return {{}, "it is damaged or incomplete: pdftotext cannot read it"};
  }
  DocumentText text = textOf(run.output, limits);
  if (text.error.empty() && text.text.empty()) {
    text.error = "it holds no text, only pictures (scanned pages?)";
  }
  return text;
}

DocumentText readPdf(const std::filesystem::path& file, const std::filesystem::path& program,
                     const DocumentLimits& limits) {
  // An absolute path never starts with '-', so it is never taken for an option.
  const std::filesystem::path absolute = std::filesystem::absolute(file);
  const ChildResult run =
      runChild(program, {"-enc", "UTF-8", "-nopgbrk", absolute.string(), "-"}, childLimits(limits));
  return pdfTextOf(run, limits);
}

bool isEncryptedOfficeFile(std::string_view bytes) {
  static constexpr char kName[] = "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0";
  return bytes.find(std::string_view(kName, sizeof kName - 1)) != std::string_view::npos;
}

DocumentText readOldWord(const std::filesystem::path& file, std::string_view head,
                         const std::filesystem::path& program, const DocumentLimits& limits) {
  if (isEncryptedOfficeFile(head)) return {{}, "it is protected by a password"};
  if (program.empty()) {
    return {{},
            "it is an old Word document (.doc) or another OLE compound file; install "
            "antiword to read old Word documents"};
  }
  const std::filesystem::path absolute = std::filesystem::absolute(file);
  const ChildResult run =
      runChild(program, {"-m", "UTF-8.txt", "-w", "0", absolute.string()}, childLimits(limits));
  if (std::string failure = failureOf(run, "antiword", limits); !failure.empty()) {
    return {{}, std::move(failure)};
  }
  if (run.exitStatus != 0) {
    if (run.errors.find("ncrypt") != std::string::npos) {
      return {{}, "it is protected by a password"};
    }
    return {{}, "it is an OLE compound file that antiword cannot read as a Word document"};
  }
  return textOf(run.output, limits);
}

}  // namespace orvalis::documents
