// Failures on command, for tests: every "on failure" branch above the store is tested through
// these rather than left untried. Rules are per process and consulted by every cedb call.
#pragma once

#include <string>

#include "cedb.h"

namespace cedb::faults {

enum class Op {
    Any,
    CreateDatabase,
    OpenDatabase,
    Seek,    // seekFirst, seekNext, seekToOid, seekFirstEqual
    Read,    // readCurrent
    Add,     // addRecord
    Update,  // updateCurrent, writeRecord
    Delete,  // deleteRecord, deleteDatabase
    Mount,
    Find,    // findDatabase, enumerateDatabases, objectInfo
    Commit,  // Batch::commit (the rule's database is ignored: a batch spans the volume)
};

struct Rule {
    Op op = Op::Any;
    std::u16string database;  // the database's name; empty matches every database
    Error error = Error::WriteFailed;  // reported by the failing call
    int skip = 0;   // matching calls let through before the first failure
    int times = 1;  // failures before the rule is spent; -1 for ever
};

void arm(const Rule& rule);
void clear();
// How many calls a rule has failed since the last clear().
int failuresSoFar();

}  // namespace cedb::faults
