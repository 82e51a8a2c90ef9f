// orvalis-scan-mpi: orvalis-scan's scan spread over the ranks of an MPI job.
// Rank 0 reads the command line and writes everything orvalis-scan writes;
// the other ranks compute the comparisons it hands out and write nothing.
#include <mpi.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/mpi/mpi_scan.h"
#include "cli/options.h"
#include "cli/scan_command.h"

namespace {

constexpr const char* kMpiProgramName = "orvalis-scan-mpi";

// Takes --journal FILE and --resume FILE (or --name=FILE) out of `args`; the
// rest is orvalis-scan's command line. Returns an error text for a bad one.
std::string takeJournalOption(std::vector<std::string>& args,
                              std::optional<orvalis::cli::mpi::JournalRequest>& journal) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    bool resume = false;
    std::optional<std::string> value;
    for (const char* name : {"--journal", "--resume"}) {
      const std::string option(name);
      if (arg == option) {
        if (i + 1 >= args.size()) return "option " + option + " needs a file";
        value = args[++i];
      } else if (arg.starts_with(option + "=")) {
        value = arg.substr(option.size() + 1);
      } else {
        continue;
      }
      resume = option == "--resume";
      break;
    }
    if (!value) {
      rest.push_back(arg);
      continue;
    }
    if (value->empty()) return "the journal file name is empty";
    if (journal) return "only one of --journal and --resume, once";
    journal = orvalis::cli::mpi::JournalRequest{*value, resume};
  }
  args = std::move(rest);
  return {};
}

// With ORVALIS_MPI_STATS set to a file name, rank 0 adds a line with what it
// received and the processor time it used, for the benchmark.
void writeStats(int ranks, const orvalis::cli::mpi::CoordinatorStats* stats) {
  const char* file = std::getenv("ORVALIS_MPI_STATS");
  if (file == nullptr || *file == '\0') return;
  std::ofstream out(file, std::ios::app);
  out << "ranks " << ranks << " records " << (stats ? stats->records : 0) << " bytes "
      << (stats ? stats->bytes : 0) << " resumed " << (stats ? stats->resumedRecords : 0)
      << " local " << (stats ? stats->pairsComputedHere : 0) << " cpu_seconds "
      << static_cast<double>(std::clock()) / CLOCKS_PER_SEC << " kept "
      << (stats && stats->scoresAlone ? std::to_string(stats->kept) : std::string("all")) << '\n';
}

int runRankZero(int ranks, std::vector<std::string> args) {
  std::optional<orvalis::cli::mpi::JournalRequest> journal;
  const std::string error = takeJournalOption(args, journal);
  if (!error.empty()) {
    orvalis::cli::mpi::Coordinator(ranks, std::nullopt).finish();  // the workers end at once
    std::cerr << kMpiProgramName << ": " << error << '\n' << orvalis::cli::usageText();
    return orvalis::cli::kExitUsage;
  }
  // The seeded scan picks its comparisons on one machine and is not handed out.
  const orvalis::cli::ParseResult parsed = orvalis::cli::parseArguments(args);
  if (parsed.ok() && parsed.options.action == orvalis::cli::Action::kScan && parsed.options.fast) {
    orvalis::cli::mpi::Coordinator(ranks, std::nullopt).finish();
    std::cerr << kMpiProgramName
              << ": option --fast is not available across ranks: run orvalis-scan --fast on one "
                 "machine, or leave --fast out to compare every pair here\n";
    return orvalis::cli::kExitUsage;
  }
  const bool stderrIsTerminal = isatty(STDERR_FILENO) != 0;
  // One rank computes everything itself, exactly as orvalis-scan does.
  if (ranks == 1) {
    const int status = orvalis::cli::runScanCommand(args, std::cout, std::cerr, stderrIsTerminal);
    writeStats(ranks, nullptr);
    return status;
  }
  orvalis::cli::mpi::Coordinator coordinator(ranks, std::move(journal),
                                             parsed.ok()
                                                 ? orvalis::cli::mpi::listingNeeds(parsed.options)
                                                 : orvalis::cli::mpi::ListingNeeds{});
  const int status = orvalis::cli::runScanCommand(
      args, std::cout, std::cerr, stderrIsTerminal,
      [&](orvalis::CompareEngine& engine, orvalis::ComparisonCache* cache, const auto& files,
          const auto& earlierFiles) {
        return coordinator.start(engine, cache, files, earlierFiles);
      });
  std::cout.flush();
  coordinator.finish();
  if (!coordinator.journalFailure().empty()) {
    std::cerr << "warning: " << coordinator.journalFailure() << '\n';
  }
  writeStats(ranks, &coordinator.stats());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // The scan's worker thread asks for results while the main thread waits:
  // one thread at a time calls MPI.
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  if (provided < MPI_THREAD_SERIALIZED && ranks > 1) {
    if (rank == 0) std::cerr << kMpiProgramName << ": this MPI library allows no threads\n";
    MPI_Finalize();
    return orvalis::cli::kExitError;
  }
  int status = orvalis::cli::kExitSuccess;
  try {
    if (rank == 0) {
      // mpirun hands rank 0's standard output on through a pseudo-terminal,
      // where the C library writes at every line's end: a report of every
      // result would cost a system call a line. Large blocks instead, as when
      // orvalis-scan writes to a file.
      std::setvbuf(stdout, nullptr, _IOFBF, std::size_t{1} << 20);
      status = runRankZero(ranks, std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } else {
      orvalis::cli::mpi::runWorker();
    }
  } catch (const std::exception& failure) {
    // Past this point the ranks no longer agree on what comes next.
    std::cerr << kMpiProgramName << ": rank " << rank << ": " << failure.what() << '\n';
    MPI_Abort(MPI_COMM_WORLD, orvalis::cli::kExitError);
  }
  MPI_Finalize();
  return status;
}
