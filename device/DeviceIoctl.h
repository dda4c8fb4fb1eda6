// The one ioctl request through which a POSIX board driver receives control requests.
//
// A Linux driver for the boards implements VELTRIN_IOCTL_CONTROL on each of its device nodes
// (ROOT/NAME/LEAF, see PhysicalDevice.cpp). The caller fills code, the input block (pointer and size)
// and the output block (pointer and capacity); the driver copies the input in, performs the request,
// copies at most output_size bytes of its answer to output and stores their count in returned. The
// ioctl returns 0 on success and -1 with errno set on failure. Blocks are little-endian byte strings,
// exactly as on Windows. VELTRIN_IOCTL_CANCEL aborts reads and writes pending on the file.
#pragma once

#include <cstdint>

#ifndef _WIN32
#include <sys/ioctl.h>

struct veltrin_control_request {
    uint32_t code;        // 0x220000 + 4 * function number
    uint32_t input_size;  // bytes at input
    uint32_t output_size; // capacity of output
    uint32_t returned;    // set by the driver: bytes written to output
    uint64_t input;       // user address of the input block, 0 when none
    uint64_t output;      // user address of the output block, 0 when none
};

#define VELTRIN_IOCTL_MAGIC 'V'
#define VELTRIN_IOCTL_CONTROL _IOWR(VELTRIN_IOCTL_MAGIC, 1, struct veltrin_control_request)
#define VELTRIN_IOCTL_CANCEL _IO(VELTRIN_IOCTL_MAGIC, 2)
#endif
