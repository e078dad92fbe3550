/* Control interface of the virtual cable (libftd2xx.so / FTD2XX.DLL built from sim/).
 *
 * The library exports the twenty-one D2XX entry points the tool binds, plus these VC_ functions, with
 * which tests steer the line: cables, fixtures, timing, faults, and a capture of every packet.
 * People steer it through the environment variable ZYL_VIRTUAL_CABLE naming a JSON file; the
 * variable ZYL_VIRTUAL_CABLE_CAPTURE names a text file that receives the line capture.
 *
 * Without either: one FT232R cable ("FT232R USB UART", serial "VC000001") with one VEK-340 on its
 * line, realistic timing. All functions are safe to call from any thread.
 */
#ifndef ZYL_VIRTUAL_CABLE_H
#define ZYL_VIRTUAL_CABLE_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VC_BUILDING_LIBRARY)
#define VC_API __declspec(dllexport)
#else
#define VC_API __declspec(dllimport)
#endif
#else
#define VC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Whole simulator ------------------------------------------------------------------------- */

/* Back to the built-in default (one cable, one VEK-340, realistic timing, no faults, empty capture),
 * ignoring ZYL_VIRTUAL_CABLE. Open handles become invalid. */
VC_API void VC_Reset(void);
/* No cable, no fixture. */
VC_API void VC_Clear(void);
/* Loads a JSON description (same format as the ZYL_VIRTUAL_CABLE file); 0 on success, -1 on error. */
VC_API int VC_LoadConfigFile(const char* path);

/* ---- Timing ---------------------------------------------------------------------------------- */
typedef struct VC_Timing {
    uint32_t turnaround_us;  /* from the switch to receive (or the end of the request) to the 1st reply byte;
                                default 200 */
    uint32_t byte_us;        /* per reply byte on the wire; default 44 */
    uint32_t usb_latency_us; /* extra delay before received bytes become readable; default 16000 (FT232R);
                                a latency timer set shorter with FT_SetLatencyTimer takes its place */
} VC_Timing;
VC_API void VC_SetTiming(const VC_Timing* timing);
VC_API void VC_GetTiming(VC_Timing* timing);
/* Fast timing for quick tests: every reply is readable at once. */
VC_API void VC_SetFastTiming(void);

/* ---- Cables ---------------------------------------------------------------------------------- */
typedef struct VC_CableConfig {
    uint32_t flags;       /* bit 0: opened by another process */
    uint32_t type;        /* 5 = FT232R */
    uint32_t id;          /* 0x04036001 */
    char description[64]; /* NUL-terminated unless all 64 used */
    char serial[16];      /* NUL-terminated unless all 16 used */
} VC_CableConfig;
VC_API void VC_DefaultCable(VC_CableConfig* out);    /* fills the default FT232R cable */
VC_API int VC_AddCable(const VC_CableConfig* cable); /* returns the cable index */
VC_API int VC_CableCount(void);
/* Pulls the cable out (0) or plugs it back (1). Unplugged: it leaves the device list and every call
 * on a handle opened on it fails with FT_IO_ERROR (4); a reopened handle is needed after replugging. */
VC_API void VC_SetCablePlugged(int cable, int plugged);
/* Makes the next `count` calls of the named entry point (e.g. "FT_SetBaudRate") on any cable fail
 * with `status` (count -1: until cleared with count 0). */
VC_API void VC_FailCall(const char* entryPoint, uint32_t status, int count);
/* Pulls the cable out just before the `calls`-th next call of the named entry point is carried out,
 * as a technician might between two steps of the controller (e.g. between listing and opening). */
VC_API void VC_UnplugBeforeCall(int cable, const char* entryPoint, int calls);
/* Makes FT_CreateDeviceInfoList report `count` devices whatever is plugged in, as a confused driver
 * might (-1: the plugged cables again; VC_Reset and VC_Clear restore it). FT_GetDeviceInfoList still
 * fills and reports only the plugged cables. */
VC_API void VC_SetReportedDeviceCount(int64_t count);
/* Makes every FT_Write take `us` microseconds before its bytes reach the line, as a slow USB
 * transfer does; other calls, from other threads too, go on meanwhile (0: at once; VC_Reset
 * restores it). */
VC_API void VC_SetWriteDelay(uint32_t us);
/* Makes every FT_GetStatus take `us` microseconds before it answers, as a thread held up by a busy
 * machine would see it; bytes go on arriving meanwhile (0: at once; VC_Reset restores it). */
VC_API void VC_SetStatusDelay(uint32_t us);
/* Number of calls of the named entry point since the last reset ("*" = all entry points). */
VC_API uint64_t VC_CallCount(const char* entryPoint);
/* Handles currently open. */
VC_API int VC_OpenHandleCount(void);

/* How bytes cross the line: baud rate and frame format. */
typedef struct VC_LineFormat {
    uint32_t baud;     /* 0: no such byte */
    uint8_t data_bits; /* 7 or 8 */
    uint8_t stop_bits; /* 1 or 2 (a count, not the D2XX code) */
    uint8_t parity;    /* D2XX code: 0 none, 1 odd, 2 even, 3 mark, 4 space */
} VC_LineFormat;

/* What the controller has set on a cable since it was last opened (a fresh chip: 9600 baud 8N1, no
 * flow control, event and error characters 0 and off, nothing purged, latency timer 16 ms). */
typedef struct VC_CableSettings {
    int open;              /* a handle is open on the cable */
    VC_LineFormat format;  /* the line now */
    uint16_t flow_control; /* FT_SetFlowControl: 0 none, 0x0100 RTS/CTS, 0x0200 DTR/DSR, 0x0400 XON/XOFF */
    uint8_t xon_char, xoff_char;
    uint8_t event_char, event_char_enabled, error_char, error_char_enabled; /* FT_SetChars */
    uint32_t
        purge_masks; /* bit n set once FT_Purge was called with the mask n (1 receive, 2 transmit, 3 both) */
    uint32_t last_purge_mask;
    int receive;              /* the line is turned to receive */
    uint8_t latency_timer_ms; /* 16 at opening, then what FT_SetLatencyTimer set */
} VC_CableSettings;
/* 0 on success, -1 for an unknown cable. */
VC_API int VC_GetCableSettings(int cable, VC_CableSettings* out);

/* ---- Fixtures -------------------------------------------------------------------------------- */
#define VC_MAX_PERSONALITIES 32
typedef struct VC_Personality {
    uint16_t footprint;
    char name[33]; /* NUL-terminated, at most 32 characters */
} VC_Personality;

typedef struct VC_FixtureConfig {
    uint8_t uid[6];
    uint16_t model_id; /* 103 = VEK-340 */
    uint16_t product_category;
    uint32_t software_version;
    char model_description[33];
    char software_label[33];
    uint16_t start_address;      /* 1..512 */
    uint8_t current_personality; /* 1-based */
    uint8_t personality_count;   /* 0..VC_MAX_PERSONALITIES */
    VC_Personality personalities[VC_MAX_PERSONALITIES];
    uint8_t sensor_count;
    int supports_model_description; /* lists DEVICE_MODEL_DESCRIPTION (0x0080) */
    int supports_status_led;        /* lists the status LED parameter 0x0501 */
    uint8_t status_led;             /* 0 or 0xFF */
    int muted;                      /* DISC_MUTE state */
    /* After a SET that it stores (start address, personality, status LED) the fixture writes its
     * memory and hears nothing for this long; VEK-340: 2000 ms. */
    uint32_t busy_after_set_ms;
    int disc_mute; /* VC_DiscMute: how the fixture takes DISC_MUTE */
} VC_FixtureConfig;

/* How a fixture takes DISC_MUTE addressed to it. Either way a DISC_UN_MUTE unmutes it as usual. */
enum VC_DiscMute {
    VC_DISC_MUTE_OBEYS = 0,       /* mutes itself and answers */
    VC_DISC_MUTE_IGNORES = 1,     /* neither answers nor mutes: it goes on answering DISC_UNIQUE_BRANCH */
    VC_DISC_MUTE_ANSWERS_ONLY = 2 /* answers as if muted, and goes on answering DISC_UNIQUE_BRANCH */
};

VC_API void VC_DefaultFixture(VC_FixtureConfig* out); /* a VEK-340 */
/* Puts a fixture on a cable's line; returns the fixture id. */
VC_API int VC_AddFixture(int cable, const VC_FixtureConfig* fixture);
VC_API void VC_RemoveFixture(int fixture);
/* Current state of a fixture (SETs show here); 0 on success, -1 for an unknown id. */
VC_API int VC_GetFixture(int fixture, VC_FixtureConfig* out);
VC_API int VC_SetFixture(int fixture, const VC_FixtureConfig* in);
/* A silent fixture hears everything and answers nothing. */
VC_API void VC_SetFixtureSilent(int fixture, int silent);

/* ---- Noise on the line ------------------------------------------------------------------------ */
/* Puts `length` bytes (at most VC_RAW_REPLY_MAX_BYTES) on a cable's line after every RDM request
 * the controller sends, as a faulty device or a bad termination would, whether or not a fixture
 * answers; answers starting with it are ANDed with it. Length 0 ends it; VC_Reset and VC_Clear too. */
VC_API void VC_SetLineNoise(int cable, const uint8_t* bytes, int length);

/* ---- Faults on replies ------------------------------------------------------------------------ */
enum VC_Fault {
    VC_FAULT_NONE = 0,
    VC_FAULT_WRONG_CHECKSUM,
    VC_FAULT_SHORT_REPLY, /* reply cut after a few bytes */
    VC_FAULT_WRONG_CC,
    VC_FAULT_WRONG_PID,
    VC_FAULT_NACK, /* NACK with reason NR_UNKNOWN_PID instead of the answer */
    VC_FAULT_ACK_TIMER,
    VC_FAULT_ACK_OVERFLOW,
    VC_FAULT_LENGTH_ZERO, /* message-length byte 0 */
    VC_FAULT_STRAY_BYTES, /* noise bytes before the start code */
    VC_FAULT_SLOW_REPLY,  /* the reply starts 1100 ms late */
    VC_FAULT_COLLISION,   /* a second, invisible fixture answers discovery at the same time */
    VC_FAULT_SILENCE      /* no reply at all */
};
/* Applies `fault` to the next `count` replies (-1: until cleared) of `fixture` whose request has
 * command class `cc` (-1: any) and PID `pid` (-1: any). Faults queue in the order given. */
VC_API void VC_InjectFault(int fixture, int fault, int cc, int pid, int count);
VC_API void VC_ClearFaults(void);

/* ---- Line capture ----------------------------------------------------------------------------- */
#define VC_CAPTURE_MAX_BYTES 1024
enum VC_Direction { VC_TO_FIXTURE = 0, VC_FROM_FIXTURE = 1 };
typedef struct VC_Packet {
    double time_ms; /* since the last reset of the capture */
    int direction;  /* VC_TO_FIXTURE: break-framed packet sent by the controller */
    int cable;
    int length;
    uint8_t bytes[VC_CAPTURE_MAX_BYTES];
    int flags; /* VC_PacketFlags: how the packet reached the line */
    /* Controller packets, from the line model: */
    VC_LineFormat break_format; /* how the break byte was sent; baud 0 without a break */
    VC_LineFormat data_format;  /* how the first byte after the break (or of a packet without one) was sent */
    double break_low_us;        /* how long the break held the line low */
    double break_to_data_us;    /* from the start of the break byte to the start of the first data byte; -1
                                   without either */
} VC_Packet;
enum VC_PacketFlags {
    VC_PACKET_NO_BREAK = 1,   /* bytes written without a break before them: fixtures ignore them */
    VC_PACKET_NOT_DRIVEN = 2, /* written while the line was in receive direction: fixtures heard nothing */
    VC_PACKET_GARBLED = 4,    /* written at another baud rate or frame format: fixtures heard noise */
    VC_PACKET_TRUNCATED = 8   /* longer than VC_CAPTURE_MAX_BYTES; `bytes` holds the beginning */
};
VC_API int VC_CaptureCount(void);
VC_API int VC_CaptureGet(int index, VC_Packet* out); /* 0 on success */
VC_API void VC_CaptureClear(void);

/* ---- Raw replies ------------------------------------------------------------------------------ */
/* Puts `length` bytes (at most VC_RAW_REPLY_MAX_BYTES) on the line, exactly as given, in place of
 * the next `count` answers (-1: until cleared) of `fixture` to requests of command class `cc` (-1:
 * any) and PID `pid` (-1: any) that it answers; the fixture still acts on the request. Length 0 is
 * an answer of silence; count 0 clears. A new call replaces the previous one; VC_Reset, VC_Clear
 * and VC_ClearFaults clear it. */
#define VC_RAW_REPLY_MAX_BYTES 1024
VC_API void VC_SetRawReply(int fixture, const uint8_t* bytes, int length, int cc, int pid, int count);

/* ---- USB chip ------------------------------------------------------------------------------- */
/* Exported only by the test stand-in for libusb-1.0 (libusb-1.0.so.0 built from sim/usb/), which
 * shows each plugged cable as an FT232R USB device. The kernel's serial driver is bound to a device
 * when it is plugged in (not to a cable opened by another process: that one took it already);
 * libusb_detach_kernel_driver, or claiming with auto-detach, takes it away; releasing an
 * auto-detached interface, libusb_attach_kernel_driver and replugging give it back.
 * Returns how often the driver was detached from the cable's device since the cable was added,
 * -1 for an unknown cable. */
VC_API int VC_UsbKernelDriverDetaches(int cable);

#ifdef __cplusplus
}
#endif

#endif
