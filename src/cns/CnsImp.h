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

  private:
    unsigned char messageId;
    unsigned short cnsObjectId;
    unsigned char operationType;
};
