#pragma once

#include "link/CurrentResult.h"

// The steps that follow the reading of one record: evaluation, flagging and storage. The receive
// chain decides whether and in which order each runs; an implementation only does the work. This
// base does nothing, so a record is read and shown but not evaluated or stored.
class RecordSteps
{
public:
    // A database step that failed: the chain stops the session and undoes what it wrote.
    struct Error
    {
        QString text;
        // Anything but a refusal of the record's values: the session is tried again until it passes.
        bool transient = false;

        bool isSet() const { return !text.isEmpty(); }
    };

    virtual ~RecordSteps() = default;

    // Catalogue look-up, correction factor, patient and reference range; may change the value.
    virtual void Evaluate(CurrentResult& record) { Q_UNUSED(record); }
    // Low/high flag and comment of a record with a result text.
    virtual void Flag(CurrentResult& record) { Q_UNUSED(record); }
    // Storage of a result with a sample identifier, and of one without.
    virtual void StoreResult(CurrentResult& record) { Q_UNUSED(record); }
    virtual void StoreResultNoSample(CurrentResult& record) { Q_UNUSED(record); }

    // The first failure since the session began.
    virtual Error error() const { return {}; }
};
