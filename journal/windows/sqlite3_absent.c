/* Stands in for SQLite where the build has none (Debian ships no SQLite for MinGW): every
 * open fails with a reason the technician can read, so a command that keeps the service
 * record says why it cannot, and the rest of the tool works. */
#include <sqlite3.h>
#include <stddef.h>

static const char kAbsent[] =
    "the service record needs SQLite, which this Windows build does not include";

int sqlite3_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs) {
    (void)filename;
    (void)flags;
    (void)vfs;
    *db = NULL;
    return SQLITE_CANTOPEN;
}
const char* sqlite3_errstr(int rc) {
    (void)rc;
    return kAbsent;
}
const char* sqlite3_errmsg(sqlite3* db) {
    (void)db;
    return kAbsent;
}
int sqlite3_close(sqlite3* db) {
    (void)db;
    return SQLITE_OK;
}
int sqlite3_system_errno(sqlite3* db) {
    (void)db;
    return 0;
}

/* No handle is ever opened, so nothing below is reached; each still fails safely. */
int sqlite3_busy_timeout(sqlite3* db, int ms) {
    (void)db;
    (void)ms;
    return SQLITE_MISUSE;
}
int sqlite3_extended_result_codes(sqlite3* db, int onoff) {
    (void)db;
    (void)onoff;
    return SQLITE_MISUSE;
}
int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**),
                 void* arg, char** errmsg) {
    (void)db;
    (void)sql;
    (void)callback;
    (void)arg;
    if (errmsg) *errmsg = NULL;
    return SQLITE_MISUSE;
}
void sqlite3_free(void* p) {
    (void)p;
}
int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** stmt,
                       const char** tail) {
    (void)db;
    (void)sql;
    (void)bytes;
    *stmt = NULL;
    if (tail) *tail = NULL;
    return SQLITE_MISUSE;
}
int sqlite3_finalize(sqlite3_stmt* s) {
    (void)s;
    return SQLITE_OK;
}
int sqlite3_reset(sqlite3_stmt* s) {
    (void)s;
    return SQLITE_MISUSE;
}
int sqlite3_clear_bindings(sqlite3_stmt* s) {
    (void)s;
    return SQLITE_MISUSE;
}
int sqlite3_step(sqlite3_stmt* s) {
    (void)s;
    return SQLITE_MISUSE;
}
int sqlite3_bind_int64(sqlite3_stmt* s, int i, sqlite3_int64 v) {
    (void)s;
    (void)i;
    (void)v;
    return SQLITE_MISUSE;
}
int sqlite3_bind_null(sqlite3_stmt* s, int i) {
    (void)s;
    (void)i;
    return SQLITE_MISUSE;
}
int sqlite3_bind_text(sqlite3_stmt* s, int i, const char* t, int n, void (*d)(void*)) {
    (void)s;
    (void)i;
    (void)t;
    (void)n;
    (void)d;
    return SQLITE_MISUSE;
}
int sqlite3_changes(sqlite3* db) {
    (void)db;
    return 0;
}
sqlite3_int64 sqlite3_last_insert_rowid(sqlite3* db) {
    (void)db;
    return 0;
}
int sqlite3_column_type(sqlite3_stmt* s, int i) {
    (void)s;
    (void)i;
    return SQLITE_NULL;
}
int sqlite3_column_bytes(sqlite3_stmt* s, int i) {
    (void)s;
    (void)i;
    return 0;
}
sqlite3_int64 sqlite3_column_int64(sqlite3_stmt* s, int i) {
    (void)s;
    (void)i;
    return 0;
}
const unsigned char* sqlite3_column_text(sqlite3_stmt* s, int i) {
    (void)s;
    (void)i;
    return NULL;
}
