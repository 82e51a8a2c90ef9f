// The results cache in SQLite: one table of file pair results, written in
// transactions with write-ahead logging, so that a process killed at any
// moment leaves either a pair's whole record or none.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <utility>

#include "cache/pair_record.h"
#include "cache/results_cache.h"
#include "engine/encoding.h"

namespace orvalis {
namespace fs = std::filesystem;
namespace {

// "ORVL": what tells this program's database from any other SQLite file.
constexpr std::int32_t kApplicationId = 0x4F52564C;
// The layout of the tables; a file of a higher number is a newer program's.
constexpr std::int32_t kSchemaVersion = 1;
// How long a scan waits for another one that is writing.
constexpr int kBusyTimeoutMilliseconds = 10000;
// Records are written in transactions of about this many bytes.
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;
// A log this long is copied into the database when the cache is closed: the
// length at which SQLite copies it after a commit, 1,000 pages of 4 KiB.
constexpr std::uintmax_t kLongLogBytes = std::uintmax_t{4} << 20;

// The keys with their times of use apart from the records, so that marking a
// record as used rewrites a few small pages, not the pages of its results.
// The times have no index: a rescan (an hour or more after the last, see
// CacheOptions::touchInterval) marks nearly every record, and an index would
// have each mark move an entry too, for a tenth of the rescan's time.
// Dropping the least recently used records then sorts the keys instead, once
// for every tenth of the cache written anew.
constexpr const char* kCreateSchema =
    "CREATE TABLE IF NOT EXISTS pair_keys("
    " id INTEGER PRIMARY KEY,"
    " key BLOB NOT NULL UNIQUE,"  // both contents' digests and the settings
    " used INTEGER NOT NULL);"    // when last stored or marked found, in ms since 1970
    "CREATE TABLE IF NOT EXISTS pair_results("
    " id INTEGER PRIMARY KEY,"   // the id of its key
    " results BLOB NOT NULL);";  // every comparison's result, checksummed

std::int64_t nowMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool isDamage(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool isBusy(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// A prepared statement, finalized when it goes.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(statement_); }

  int prepare(sqlite3* db, const char* sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
  }
  sqlite3_stmt* get() const { return statement_; }
  void finalize() {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
  }
  void reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// What opening found in the file.
enum class Kind { kUsable, kForeign, kNewer, kDamaged, kFailed };

struct Opened {
  sqlite3* db = nullptr;
  Kind kind = Kind::kFailed;
  std::string reason;  // for kDamaged and kFailed
};

// The value of a pragma or of a query of one integer; false on an error,
// whose code goes to `code`.
bool queryInteger(sqlite3* db, const char* sql, std::int64_t& value, int& code) {
  Statement statement;
  code = statement.prepare(db, sql);
  if (code != SQLITE_OK) return false;
  code = sqlite3_step(statement.get());
  if (code == SQLITE_ROW) {
    value = sqlite3_column_int64(statement.get(), 0);
    code = SQLITE_OK;
    return true;
  }
  return false;
}

// The connection's message says more than the code's, but only while it is
// still this error's: whatever ran since (a rollback after a failed write, say)
// has put its own there, which may be "not an error".
std::string errorText(sqlite3* db, int code) {
  if (db != nullptr && (sqlite3_extended_errcode(db) & 0xff) == (code & 0xff)) {
    const char* message = sqlite3_errmsg(db);
    if (message != nullptr && *message != '\0') return message;
  }
  return sqlite3_errstr(code);
}

// Makes the tables of a new cache in one transaction; another scan that
// makes them at the same moment waits for this one, then finds them made.
int createSchema(sqlite3* db) {
  // Both only take effect on a file without tables; they come before the
  // transaction, which neither may run in.
  sqlite3_exec(db, "PRAGMA auto_vacuum=INCREMENTAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) return code;
  const std::string sql = std::string("PRAGMA application_id=") + std::to_string(kApplicationId) +
                          ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";" +
                          kCreateSchema;
  code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return code;
}

Opened openFile(const fs::path& file) {
  Opened opened;
  int code =
      sqlite3_open_v2(file.string().c_str(), &opened.db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code == SQLITE_OK) {
    sqlite3_busy_timeout(opened.db, kBusyTimeoutMilliseconds);
    // The log is copied into the database when it has grown long (see
    // ~SqliteResultsCache), not at every close, which would cost each scan
    // two waits for the disk.
    sqlite3_db_config(opened.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  const auto fail = [&](int failure) {
    opened.kind = isDamage(failure) ? Kind::kDamaged : Kind::kFailed;
    opened.reason = errorText(opened.db, failure);
    return std::move(opened);
  };
  if (code != SQLITE_OK) return fail(code);
  std::int64_t application = 0, version = 0, tables = 0;
  if (!queryInteger(opened.db, "PRAGMA application_id", application, code) ||
      !queryInteger(opened.db, "PRAGMA user_version", version, code) ||
      !queryInteger(opened.db, "SELECT count(*) FROM sqlite_master", tables, code)) {
    return fail(code);
  }
  if (tables == 0 && application == 0) {
    code = createSchema(opened.db);
    if (code != SQLITE_OK) return fail(code);
    application = kApplicationId;
    version = kSchemaVersion;
  }
  if (application != kApplicationId) {
    opened.kind = Kind::kForeign;
    return opened;
  }
  if (version > kSchemaVersion) {
    opened.kind = Kind::kNewer;
    return opened;
  }
  Statement check;
  code = check.prepare(opened.db,
                       "SELECT k.id, k.key, k.used, r.results FROM pair_keys k, pair_results r "
                       "LIMIT 0");
  if (code != SQLITE_OK || version < kSchemaVersion) {
    opened.kind = Kind::kDamaged;
    opened.reason = code != SQLITE_OK ? errorText(opened.db, code) : "no version";
    return opened;
  }
  sqlite3_exec(opened.db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(opened.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // A cache written by an earlier version keeps an index of the times of use
  // (see kCreateSchema); where the cache cannot be written, it stays.
  sqlite3_exec(opened.db, "DROP INDEX IF EXISTS pair_keys_by_use", nullptr, nullptr, nullptr);
  opened.kind = Kind::kUsable;
  return opened;
}

// Moves a file that cannot be used as a cache, with its log, out of the way to
// the first free name FILE.unusable, FILE.unusable-2, ...; the new name, or
// empty when it could not be moved.
fs::path setAside(const fs::path& file) {
  std::error_code error;
  fs::path aside;
  for (int number = 1; number < 1000; ++number) {
    aside = file;
    aside += number == 1 ? ".unusable" : ".unusable-" + std::to_string(number);
    if (!fs::exists(aside, error)) break;
  }
  fs::rename(file, aside, error);
  if (error) return {};
  // A log left beside a new file would be played into it.
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    fs::path log = file;
    log += suffix;
    fs::path logAside = aside;
    logAside += suffix;
    if (fs::exists(log, error)) fs::rename(log, logAside, error);
    if (error) fs::remove(log, error);
  }
  return aside;
}

class SqliteResultsCache final : public ResultsCache {
 public:
  SqliteResultsCache(sqlite3* db, CacheOptions options)
      : db_(db), options_(std::move(options)), name_(displayText(options_.file)) {
    if (find_.prepare(db_,
                      "SELECT k.id, k.used, r.results FROM pair_keys k JOIN pair_results r "
                      "ON r.id = k.id WHERE k.key=?1") != SQLITE_OK ||
        insert_.prepare(db_,
                        "INSERT INTO pair_keys(key, used) VALUES(?1, ?2) ON CONFLICT(key) DO "
                        "UPDATE SET used=excluded.used RETURNING id") != SQLITE_OK ||
        insertResults_.prepare(db_,
                               "INSERT OR REPLACE INTO pair_results(id, results) "
                               "VALUES(?1, ?2)") != SQLITE_OK ||
        touch_.prepare(db_, "UPDATE pair_keys SET used=?1 WHERE id=?2") != SQLITE_OK ||
        remove_.prepare(db_, "DELETE FROM pair_keys WHERE id=?1") != SQLITE_OK ||
        removeResults_.prepare(db_, "DELETE FROM pair_results WHERE id=?1") != SQLITE_OK) {
      failed(sqlite3_errcode(db_), "use");
    }
  }

  ~SqliteResultsCache() override {
    flush();
    emptyLongLog();
    close();
  }

  bool clear() {
    if (db_ == nullptr) return false;
    const int code =
        sqlite3_exec(db_,
                     "BEGIN IMMEDIATE; DELETE FROM pair_keys; DELETE FROM pair_results; COMMIT; "
                     "PRAGMA incremental_vacuum;",
                     nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) failed(code, "clear");
    return code == SQLITE_OK;
  }

  bool find(const ComparisonKey& key, std::size_t count,
            std::vector<PairResult>& results) override {
    results.clear();
    if (db_ == nullptr) return false;
    beginReading();
    const std::string bytes = keyBytes(key);
    sqlite3_bind_blob(find_.get(), 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    const int code = sqlite3_step(find_.get());
    bool found = false;
    if (code == SQLITE_ROW) {
      const std::int64_t id = sqlite3_column_int64(find_.get(), 0);
      const std::int64_t used = sqlite3_column_int64(find_.get(), 1);
      const auto* data = static_cast<const char*>(sqlite3_column_blob(find_.get(), 2));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(find_.get(), 2));
      found = decodePairRecord(key, std::string_view(data != nullptr ? data : "", size), count,
                               results);
      // A record of the wrong length or with a wrong checksum is dropped and
      // computed again.
      if (!found) {
        damaged_.push_back(id);
      } else if (const std::int64_t age = nowMilliseconds() - used;
                 age < 0 || age >= options_.touchInterval.count()) {
        used_.push_back(id);  // a time ahead of the clock is written anew too
      }
    }
    find_.reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) failed(code, "read");
    return found;
  }

  void store(const ComparisonKey& key, const std::vector<PairResult>& results) override {
    if (db_ == nullptr || !writable_) return;
    std::string record = encodePairRecord(key, results);
    pendingBytes_ += record.size();
    pending_.emplace_back(keyBytes(key), std::move(record));
    if (pendingBytes_ >= kBatchBytes) flush();
  }

  void scanEnded() override { flush(); }

  std::vector<std::string> takeWarnings() override { return std::exchange(warnings_, {}); }

  void addWarning(std::string warning) { warnings_.push_back(std::move(warning)); }

 private:
  // Writes the records kept so far and the times of the records found, in
  // one transaction, then keeps the file within its size.
  void flush() {
    endReading();
    if (db_ == nullptr || !writable_ || (pending_.empty() && used_.empty() && damaged_.empty())) {
      pending_.clear();
      return;
    }
    int code = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    // Damaged records go first: a pair's new record, computed since it was
    // found damaged, is kept under the same key.
    for (std::size_t i = 0; code == SQLITE_OK && i < damaged_.size(); ++i) {
      sqlite3_bind_int64(remove_.get(), 1, damaged_[i]);
      code = stepDone(remove_);
      sqlite3_bind_int64(removeResults_.get(), 1, damaged_[i]);
      if (code == SQLITE_OK) code = stepDone(removeResults_);
    }
    const std::int64_t now = nowMilliseconds();
    for (std::size_t i = 0; code == SQLITE_OK && i < pending_.size(); ++i) {
      const auto& [key, record] = pending_[i];
      sqlite3_bind_blob(insert_.get(), 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
      sqlite3_bind_int64(insert_.get(), 2, now);
      code = sqlite3_step(insert_.get());
      const std::int64_t id = sqlite3_column_int64(insert_.get(), 0);
      if (code == SQLITE_ROW) code = sqlite3_step(insert_.get());
      insert_.reset();
      if (code != SQLITE_DONE) break;
      sqlite3_bind_int64(insertResults_.get(), 1, id);
      sqlite3_bind_blob(insertResults_.get(), 2, record.data(), static_cast<int>(record.size()),
                        SQLITE_STATIC);
      code = stepDone(insertResults_);
    }
    if (code == SQLITE_DONE) code = SQLITE_OK;
    for (std::size_t i = 0; code == SQLITE_OK && i < used_.size(); ++i) {
      sqlite3_bind_int64(touch_.get(), 1, now);
      sqlite3_bind_int64(touch_.get(), 2, used_[i]);
      code = stepDone(touch_);
    }
    if (code == SQLITE_OK) code = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    pending_.clear();
    pendingBytes_ = 0;
    used_.clear();
    damaged_.clear();
    if (code != SQLITE_OK) {
      failed(code, "write");
      return;
    }
    keepWithinSize();
  }

  // Copies a long log into the database and empties it. SQLite copies the log
  // when a commit makes it long, but the next process to open the file reads
  // the whole log again and copies it from its start, so that without this
  // the log would only grow: by the times of use that every rescan writes,
  // and the reading of it with it. Gives up at once when another scan is
  // using the cache; the scan that closes it last empties the log.
  void emptyLongLog() {
    if (db_ == nullptr || !writable_) return;
    fs::path log = options_.file;
    log += "-wal";
    std::error_code error;
    const std::uintmax_t size = fs::file_size(log, error);
    if (error || size < kLongLogBytes) return;
    sqlite3_busy_timeout(db_, 0);
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }

  // The look-ups of a scan share one read transaction rather than each
  // taking the log's read lock of its own; it ends before anything is written.
  void beginReading() {
    if (!reading_) reading_ = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  void endReading() {
    if (reading_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    reading_ = false;
  }

  int stepDone(Statement& statement) {
    const int code = sqlite3_step(statement.get());
    statement.reset();
    return code == SQLITE_DONE ? SQLITE_OK : code;
  }

  // Removes the records used least recently until the pages in use fit in
  // the size allowed, then gives the free pages back to the system.
  void keepWithinSize() {
    for (;;) {
      std::int64_t pages = 0, freePages = 0, pageSize = 0, records = 0;
      int code = SQLITE_OK;
      if (!queryInteger(db_, "PRAGMA page_count", pages, code) ||
          !queryInteger(db_, "PRAGMA freelist_count", freePages, code) ||
          !queryInteger(db_, "PRAGMA page_size", pageSize, code)) {
        failed(code, "write");
        return;
      }
      const auto inUse = static_cast<std::uint64_t>((pages - freePages) * pageSize);
      if (inUse <= options_.maxSize) break;
      if (!queryInteger(db_, "SELECT count(*) FROM pair_keys", records, code)) {
        failed(code, "write");
        return;
      }
      if (records == 0) break;
      // A tenth at a time, at least one: few rounds, little taken beyond need.
      const std::string sql =
          "BEGIN IMMEDIATE; DELETE FROM pair_keys WHERE id IN (SELECT id FROM pair_keys ORDER BY "
          "used, id LIMIT " +
          std::to_string(std::max<std::int64_t>(1, records / 10)) +
          "); DELETE FROM pair_results WHERE id NOT IN (SELECT id FROM pair_keys); COMMIT;";
      code = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
      if (code != SQLITE_OK) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      if (code != SQLITE_OK) {
        failed(code, "write");
        return;
      }
      evicted_ = true;
    }
    if (evicted_) {
      sqlite3_exec(db_, "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
      evicted_ = false;
    }
  }

  // Turns an error into a warning: damage sets the file aside, other errors
  // of writing stop the writing, and any other error stops the cache's use.
  void failed(int code, const char* doing) {
    if (isBusy(code)) {
      if (!warnedBusy_) {
        warnings_.push_back("the results cache " + name_ +
                            " stayed busy with another scan; some results were not kept");
      }
      warnedBusy_ = true;
      return;
    }
    const std::string reason = errorText(db_, code);
    if (isDamage(code)) {
      close();
      const fs::path aside = setAside(options_.file);
      warnings_.push_back("the results cache " + name_ + " is damaged (" + reason + "); " +
                          (aside.empty() ? "the scan goes on without it"
                                         : "it was moved to " + displayText(aside) +
                                               " and the scan goes on without it"));
      return;
    }
    if (std::string_view(doing) == "write") {
      writable_ = false;
      warnings_.push_back("cannot write the results cache " + name_ + ": " + reason +
                          "; the results of this scan are not kept");
      return;
    }
    close();
    warnings_.push_back("cannot " + std::string(doing) + " the results cache " + name_ + ": " +
                        reason + "; the scan goes on without it");
  }

  void close() {
    if (db_ == nullptr) return;
    endReading();
    for (Statement* statement :
         {&find_, &insert_, &insertResults_, &touch_, &remove_, &removeResults_}) {
      statement->finalize();
    }
    sqlite3_close(db_);
    db_ = nullptr;
  }

  sqlite3* db_;
  CacheOptions options_;
  std::string name_;
  Statement find_, insert_, insertResults_, touch_, remove_, removeResults_;
  std::vector<std::pair<std::string, std::string>> pending_;  // key, record
  std::size_t pendingBytes_ = 0;
  std::vector<std::int64_t> used_;     // records found
  std::vector<std::int64_t> damaged_;  // records found unreadable
  std::vector<std::string> warnings_;
  bool writable_ = true;
  bool warnedBusy_ = false;
  bool evicted_ = false;
  bool reading_ = false;
};

}  // namespace

bool resultsCacheAvailable() { return true; }

std::unique_ptr<ResultsCache> ResultsCache::open(const CacheOptions& options,
                                                 std::vector<std::string>& warnings) {
  const std::string name = displayText(options.file);
  const auto cannotUse = [&](const std::string& reason) -> std::unique_ptr<ResultsCache> {
    warnings.push_back("cannot use the results cache " + name + ": " + reason +
                       "; the scan goes on without it");
    return nullptr;
  };
  if (options.file.empty()) return cannotUse("no cache folder is known (HOME is not set)");
  std::error_code error;
  if (options.file.has_parent_path()) fs::create_directories(options.file.parent_path(), error);
  if (error) return cannotUse(error.message());

  Opened opened = openFile(options.file);
  if (opened.kind != Kind::kUsable && opened.kind != Kind::kFailed) {
    sqlite3_close(opened.db);
    opened.db = nullptr;
    const std::string what =
        opened.kind == Kind::kForeign ? name + " is not a results cache of Orvalis"
        : opened.kind == Kind::kNewer
            ? "the results cache " + name + " is of a newer version"
            : "the results cache " + name + " is damaged (" + opened.reason + ")";
    const fs::path aside = setAside(options.file);
    if (aside.empty()) {
      warnings.push_back(what + " and cannot be moved aside; the scan goes on without it");
      return nullptr;
    }
    warnings.push_back(what + "; it was moved to " + displayText(aside) + " and a new one started");
    opened = openFile(options.file);
  }
  if (opened.kind != Kind::kUsable) {
    sqlite3_close(opened.db);
    return cannotUse(opened.reason.empty() ? "it cannot be made" : opened.reason);
  }
  auto cache = std::make_unique<SqliteResultsCache>(opened.db, options);
  if (options.clear) cache->clear();
  for (std::string& warning : cache->takeWarnings()) warnings.push_back(std::move(warning));
  return cache;
}

}  // namespace orvalis
