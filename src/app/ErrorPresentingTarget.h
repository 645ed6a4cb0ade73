#pragma once
// An object that shows errors itself, in its own window (the update document).

class CError;

class CErrorPresentingTarget {
public:
    virtual void presentError(const CError& error) = 0;

protected:
    ~CErrorPresentingTarget() = default;
};
