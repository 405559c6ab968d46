/* The floor for writes: the least any program can do to store the rows of a
 * "write" in the local store. Reads tab-separated rows (the samples table's
 * columns, as `sqlite3 -tabs` prints them; an empty field is NULL) from
 * standard input, then binds one prepared INSERT per row in one transaction
 * with the bridge's durability: the WAL, synchronous = FULL, the log emptied
 * after the commit. Unlike the sqlite3 shell it parses no SQL per row.
 *
 *   write_floor STORE < rows.tsv
 */
#define _POSIX_C_SOURCE 200809L

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kColumns = 14 };

/* How each column is bound, in the order of the INSERT below. */
static const char kKinds[kColumns] = {
    't', /* type */
    'r', /* start */
    'r', /* end */
    'r', /* value */
    't', /* unit */
    'i', /* category */
    'i', /* activity */
    'r', /* duration */
    'r', /* energy */
    'r', /* distance */
    't', /* source */
    't', /* metadata */
    't', /* sync_identifier */
    'r', /* sync_version */
};

static int fail(sqlite3* db, const char* what) {
  fprintf(stderr, "write_floor: %s: %s\n", what, db ? sqlite3_errmsg(db) : "out of memory");
  return 1;
}

static int run(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, NULL, NULL, NULL) == SQLITE_OK ? 0 : fail(db, sql);
}

/* Binds one tab-separated line (without its line feed) to the statement. */
static int bindRow(sqlite3_stmt* insert, char* line) {
  char* field = line;
  for (int column = 0; column < kColumns; ++column) {
    char* end = strchr(field, '\t');
    if (end) *end = '\0';
    int slot = column + 1;
    int status;
    if (*field == '\0') {
      status = sqlite3_bind_null(insert, slot);
    } else if (kKinds[column] == 'r') {
      status = sqlite3_bind_double(insert, slot, strtod(field, NULL));
    } else if (kKinds[column] == 'i') {
      status = sqlite3_bind_int64(insert, slot, strtoll(field, NULL, 10));
    } else {
      status = sqlite3_bind_text(insert, slot, field, -1, SQLITE_TRANSIENT);
    }
    if (status != SQLITE_OK) return 1;
    if (!end) return column == kColumns - 1 ? 0 : 1;
    field = end + 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: write_floor STORE < rows.tsv\n");
    return 2;
  }
  sqlite3* db = NULL;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, NULL) != SQLITE_OK) return fail(db, argv[1]);
  if (run(db, "PRAGMA journal_mode = WAL") || run(db, "PRAGMA synchronous = FULL") || run(db, "BEGIN IMMEDIATE")) {
    return 1;
  }
  sqlite3_stmt* insert = NULL;
  if (sqlite3_prepare_v2(db,
                         "INSERT INTO samples (type, start, end, value, unit, category, activity, duration, energy, "
                         "distance, source, metadata, sync_identifier, sync_version) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                         -1, &insert, NULL) != SQLITE_OK) {
    return fail(db, "prepare");
  }
  char* line = NULL;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, stdin)) > 0) {
    if (line[length - 1] == '\n') line[--length] = '\0';
    if (length == 0) continue;
    if (bindRow(insert, line)) {
      fprintf(stderr, "write_floor: a row does not have %d fields\n", kColumns);
      return 1;
    }
    if (sqlite3_step(insert) != SQLITE_DONE) return fail(db, "insert");
    sqlite3_reset(insert);
  }
  free(line);
  sqlite3_finalize(insert);
  if (run(db, "COMMIT") || run(db, "PRAGMA wal_checkpoint(TRUNCATE)")) return 1;
  return sqlite3_close(db) == SQLITE_OK ? 0 : fail(db, "close");
}
