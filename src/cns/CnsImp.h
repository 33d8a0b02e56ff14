// A Cns request under construction, and the reply unescaper.
//
// A CnsImp is configured for one object and one operation, then asked for one
// frame. The frames it builds are new arrays owned by the caller (array
// delete); a CnsImp owns nothing.
#pragma once

#include <vector>

class CnsImp {
public:
    CnsImp();
    virtual ~CnsImp() = default;

    void setCnsObjectForGet(unsigned short object);
    void setCnsObjectForSet(unsigned short object);

    // A 17-byte get request for the configured object; `size` receives 17.
    unsigned char* getCnsDataForQuery(int& size) const;
    // Writes the get-request header into a zeroed frame of at least 17 bytes;
    // a smaller frame is left untouched.
    void setDefaultValues(unsigned char* frame, int size) const;
    void put16IntoBuffer_BigEnd(unsigned short value, unsigned char* buffer, int offset) const;

    // Appends the unescaped reply to `out`. Only bytes from the 16th this call
    // appends on are unescaped; the header is copied as it is. Throws
    // CnsErrors::UNUSABLE_REPLY when the reply ends inside an escape pair.
    void getCnsPacketWithCnsParameter(std::vector<unsigned char> reply,
                                      std::vector<unsigned char>& out);

    // A set request carrying `value`, 18 bytes plus one per escaped byte;
    // `size` receives its length. Leaves the operation type at set.
    unsigned char* getCnsDataForSet(unsigned short value, int& size);

    // The unescaped parameter of a raw (still escaped) reply: at most the
    // declared parameter length, up to the closing flag, never beyond
    // `length` bytes.
    std::vector<unsigned char> parseOutReturnBody(const unsigned char* frame,
                                                  unsigned int length) const;
    std::vector<unsigned char> parseOutReturnBody(std::vector<unsigned char> frame) const;

private:
    void writeHeader(unsigned char* frame, unsigned short lengthWord) const;

    unsigned char messageId;
    unsigned short cnsObjectId;
    unsigned char operationType;
};
