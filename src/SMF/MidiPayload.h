#pragma once
// What the three payload classes of an event share, in this order: the type
// byte, the size, and the param bytes the payload owns. Events hold one
// payload in place, viewed as whichever class their type says, so the three
// keep one layout and no constructor of their own. Each class sets its param
// itself, so that a failed precondition names that class's file.

#include <cstdint>

class CMidiPayload {
public:
    uint32_t getSize() const { return m_size; }
    const uint8_t* getParam() const { return m_param; }

    // Frees the param: null, size 0.
    void clearParam();

protected:
    CMidiPayload() = default;

    uint8_t m_type;
    uint32_t m_size;
    uint8_t* m_param;
};
