#pragma once
// How the workflows and the front-ends tell what went wrong in one step (an
// exchange, a read, a write): the one place that catches the program's own
// failure classes and sorts them into what the dialogs tell apart.
#include <optional>

#include "KvExceptions.h"

struct KvStepFailure {
    enum class Kind {
        None,
        Open,      // the port could not be opened
        Read,      // no answer, or the device went away while reading
        Write,     // a request could not be sent
        Link,      // another failure of the link: the line settings not taken
        Rejected,  // the module refused a request (a NAK)
        Answer,    // an answer the protocol does not allow, or text that does not read
    };
    Kind kind = Kind::None;
    // Why the port could not be opened, or that the device went away during a
    // read or write (cause Gone); empty when the line merely failed.
    std::optional<KvPortFailure> port;

    explicit operator bool() const { return kind != Kind::None; }
};

// The dialog each kind of failure gets in one workflow; 0 shows none.
struct KvFailureDialogs {
    int open, read, write, link, rejected, answer;

    int For(const KvStepFailure& failure) const {
        switch (failure.kind) {
        case KvStepFailure::Kind::None: return 0;
        case KvStepFailure::Kind::Open: return open;
        case KvStepFailure::Kind::Read: return read;
        case KvStepFailure::Kind::Write: return write;
        case KvStepFailure::Kind::Link: return link;
        case KvStepFailure::Kind::Rejected: return rejected;
        case KvStepFailure::Kind::Answer: return answer;
        }
        return answer;
    }
};

// Runs `step`; a failure of the program's own classes comes back as its kind.
template <typename Step>
KvStepFailure KvRunStep(Step&& step) {
    using Kind = KvStepFailure::Kind;
    KvStepFailure failure;
    auto gone = [&failure](const KvPortFailure& why) {
        if (why.cause == KvPortFailure::Cause::Gone) failure.port = why;
    };
    try {
        step();
    } catch (const KvConduitOpenException& e) {
        failure.kind = Kind::Open;
        failure.port = e.failure;
    } catch (const KvConduitReadException& e) {
        failure.kind = Kind::Read;
        gone(e.failure);
    } catch (const KvConduitWriteException& e) {
        failure.kind = Kind::Write;
        gone(e.failure);
    } catch (const KvConduitConfigException& e) {
        // The line settings not taken: the system's reason goes with it when
        // the platform tells it.
        failure.kind = Kind::Link;
        if (e.failure.cause != KvPortFailure::Cause::Unknown) failure.port = e.failure;
    } catch (const KvConduitException&) {
        failure.kind = Kind::Link;
    } catch (const KvNAKException&) {
        failure.kind = Kind::Rejected;
    } catch (const KvException&) {
        failure.kind = Kind::Answer;
    } catch (const KvStringException&) {
        failure.kind = Kind::Answer;
    }
    return failure;
}
