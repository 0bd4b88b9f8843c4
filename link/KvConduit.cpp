#include "KvConduit.h"

#include "KvExceptions.h"

KvConduit::~KvConduit() = default;

KvString KvConduit::Transact(const KvString&) { throw KvConduitException(); }
