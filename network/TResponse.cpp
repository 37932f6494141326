#include "network/TResponse.h"

#include <cstring>

void TResponse::SetResponse(const char* text) {
    if (!text) return;
    std::strncpy(fResponse, text, kResponseSize - 1);
    fResponse[kResponseSize - 1] = '\0';
}

void TResponse::Reset() {
    fData.reset();
    fResponse[0] = '\0';
}

void TResponse::WriteData(const char* data, SInt32 length) {
    if (length <= 0 || !data) return;
    if (!fData) {
        fData = std::make_unique<TDynamicBuffer>();
        fData->SetLimit(kDataLimit);
    }
    fData->ConcatenateBuffer(data, length);
}

void TResponse::EndData() {
    if (fData && !fExpectData) fData->ConcatenateBuffer("", 1);
}

void TResponse::ResponseComplete() {
    if (fExpectData && fData) fData->ConcatenateBuffer("", 1);
}
