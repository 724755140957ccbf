#pragma once
// The five entry points of the ARCNET adapter's driver library, as the DAU link
// calls them and as the stand-in driver in tools/arcnet exports them.
//
// ArcnetOpen (device name): a handle, negative on failure.
// ArcnetClose (handle): 0.
// ArcnetWrite (handle, packet, 256): 256 when sent, -2 when the time-out passed.
// ArcnetRead (handle, buffer, 512): the length of the packet received (256 or
//   512), 0 when nothing was received, -2 on time-out, another negative value on
//   failure.
// ArcnetIoctl (handle, code, argument): 0 on success. ARCNETIO_MODE_SET takes an
//   ARC_MODE and sets the time-out of the next read or write;
//   ARCNETIO_ISTS_GET fills an ARC_STS that says whether a packet waits.

#ifdef __cplusplus
extern "C" {
#endif

enum
{
    ARCNETIO_MODE_SET = 2,
    ARCNETIO_ISTS_GET = 6
};

typedef struct ARC_MODE
{
    int m_iStop;    // always 0
    int m_iTimeout; // of the next read or write, in 10 ms units; 0 = do not wait
} ARC_MODE;

typedef struct ARC_STS
{
    int m_Status; // 1 when a received packet is waiting
} ARC_STS;

typedef int (*PFN_ARCNETOPEN)(const char* device);
typedef int (*PFN_ARCNETCLOSE)(int handle);
typedef int (*PFN_ARCNETREAD)(int handle, unsigned char* buffer, int size);
typedef int (*PFN_ARCNETWRITE)(int handle, const unsigned char* packet, int size);
typedef int (*PFN_ARCNETIOCTL)(int handle, int code, void* argument);

int ArcnetOpen(const char* device);
int ArcnetClose(int handle);
int ArcnetRead(int handle, unsigned char* buffer, int size);
int ArcnetWrite(int handle, const unsigned char* packet, int size);
int ArcnetIoctl(int handle, int code, void* argument);

#ifdef __cplusplus
}
#endif
