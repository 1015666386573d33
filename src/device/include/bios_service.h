// The program's handle on the firmware settings service: locating it, calling it, and every
// typed settings operation, each with its own failure message.
#pragma once

#include "boot_and_wake.h"
#include "firmware_interface.h"
#include "fixed_width.h"
#include "register_block.h"

// Finds the first valid service header in a segment image and stores its offset; false when
// there is none. A header counts only when its signature and checksum hold and its entry lies
// in the segment.
bool findServiceHeader(const uint8_t* segment, size_t size, size_t& offset);

// The entry's physical address as the header at `header` announces it.
uint32_t headerEntryAddress(const uint8_t* header);

class BiosService {
public:
    // Maps the segment, locates the header and runs the support check; never fails outright,
    // the outcome is `available`.
    BiosService();
    ~BiosService();

    // Frees the segment view. The owner calls it once at the end of its run; the destructor
    // calls it only when the owner did not, so the view is never released twice.
    void release();

    void callService(const RegisterBlock& in, RegisterBlock& out) const;
    bool checkSupport();

    int32_t available;
    const uint8_t* segmentView;
    const void* entry;

    // Settings operations: true on success. All but the two password-state queries and the
    // S3 query print their own message on failure (the firmware's settings table holds them).
    // Every one of them returns false at once, without calling the firmware, while the service
    // is not available.
    //
    // A single-choice setting by its function number: its value in the low bits of ECX, as
    // wide as its row in the table says. False, with no call and no message, for a number that
    // names no single choice.
    bool getChoice(uint8_t function, uint32_t& value);
    bool setChoice(uint8_t function, uint32_t value);
    // A password by its function number (administrator or user): whether one is set, and
    // setting it; the empty text clears it. False, with no call, for any other number.
    bool getPasswordState(uint8_t function, uint32_t& present);
    bool setPassword(uint8_t function, const char* text);

    // Each setting by name, as the firmware's documentation names its operations.
    bool getAdminPasswordState(uint32_t& present);
    bool setAdminPassword(const char* text);
    bool getUserPasswordState(uint32_t& present);
    bool setUserPassword(const char* text);
    bool getAssetTag(char* buffer, uint32_t& capacity);
    bool setAssetTag(const char* text);
    bool getSerialPort(uint32_t& value);
    bool setSerialPort(uint32_t value);
    bool getParallelPort(uint32_t& value);
    bool setParallelPort(uint32_t value);
    bool getParallelMode(uint32_t& value);
    bool setParallelMode(uint32_t value);
    bool getEppType(uint32_t& value);
    bool setEppType(uint32_t value);
    bool getBootSequence(BootSequence& buffer);
    bool setBootSequence(const BootSequence& buffer);
    bool getPs2Port(uint32_t& value);
    bool setPs2Port(uint32_t value);
    bool getPowerOnAfterFail(uint32_t& value);
    bool setPowerOnAfterFail(uint32_t value);
    bool getUsbController(uint32_t& value);
    bool setUsbController(uint32_t value);
    bool getWakeOnRtc(WakeSetting& value);
    bool setWakeOnRtc(WakeSetting value);
    bool getNumlock(uint32_t& value);
    bool setNumlock(uint32_t value);
    bool getS3Support(uint32_t& value);
    bool setS3Support(uint32_t value);

private:
    // Which of a setting's failure lines a failed call prints.
    enum Operation { kGet, kSet };

    bool call(uint8_t function, uint8_t subfunction, RegisterBlock& in, RegisterBlock& out) const;
    // A call that, when the service fails it, prints the setting's line for a failed get or set
    // from the firmware's settings table.
    bool callReporting(Operation operation, uint8_t function, uint8_t subfunction, RegisterBlock& in,
                       RegisterBlock& out) const;
    // An asset-tag call with `scratch` in ESI and the mapped ROM window in EDI, reporting as
    // callReporting does; the mapping prints its own failures.
    bool callWithRomWindow(Operation operation, uint8_t subfunction, char* scratch) const;

    bool released_;

    BiosService(const BiosService&);  // one owner: never copied
    BiosService& operator=(const BiosService&);
};
