// Batch: many writes of this process in one transaction on a volume.
#include "cedb_internal.h"
#include "faults_internal.h"

namespace cedb {

struct Batch::Impl {
    std::shared_ptr<Volume> vol;
    std::unique_ptr<sqlite::WriteTransaction> tx;

    // Ends the batch either way. Cursors of this process may have read records of the batch,
    // so their pages are stale after a rollback as after any write.
    void finish(bool committed) {
        // A walk of the batch's connection reads records in place; it keeps a copy first.
        vol->endWalks();
        if (!committed) tx->rollback();
        tx.reset();
        --vol->batches;
        ++vol->generation;
        vol.reset();
    }
};

Batch::Batch(const VolumeId& volume) : d(std::make_unique<Impl>()) {
    auto vol = volumeFor(volume);
    if (!vol) return;
    if (!vol->batchIntact()) {
        fail(Error::WriteFailed);
        return;
    }
    // A connection still reading an older snapshot could not become the writer.
    vol->endWalks();
    auto tx = std::make_unique<sqlite::WriteTransaction>(*vol->conn);
    if (!tx->begun()) {
        fail(errorFromSqlite(tx->errorCode()));
        return;
    }
    ++vol->batches;
    d->vol = std::move(vol);
    d->tx = std::move(tx);
    g_lastError = Error::None;
}

Batch::~Batch() {
    if (d && d->tx) d->finish(false);
}

bool Batch::active() const {
    return d->tx != nullptr;
}

bool Batch::commit() {
    if (!d->tx) return fail(Error::InvalidArgument);
    if (Error e = faults::check(faults::Op::Commit, {}); e != Error::None) {
        d->finish(false);
        return fail(e);
    }
    // An outer batch whose transaction SQLite already ended has nothing left to commit: what
    // it held is gone, and saying otherwise would report lost records as stored.
    if (!d->vol->batchIntact()) {
        d->finish(false);
        return fail(Error::WriteFailed);
    }
    const bool ok = d->tx->commit();
    const int rc = d->tx->errorCode();
    d->finish(ok);
    if (!ok) return fail(errorFromSqlite(rc));
    g_lastError = Error::None;
    return true;
}

void Batch::rollback() {
    if (d->tx) d->finish(false);
}

}  // namespace cedb
