// The board link: the one object through which the program talks to the board's two
// microcontrollers. Every command frame lives in a buffer of its own for the object's
// whole life; an operation patches the bytes it is responsible for and sends the whole
// frame, so bytes it does not touch go out as earlier operations left them.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "board/Records.h"
#include "board/Translate.h"

namespace platform {
class NamedMutex;
}
class CBootLoader;

class CRG1Micon {
public:
    CRG1Micon();  // the transport over the system's board port
    explicit CRG1Micon(std::unique_ptr<ITranslate> transport);
    virtual ~CRG1Micon();
    CRG1Micon(const CRG1Micon&) = delete;
    CRG1Micon& operator=(const CRG1Micon&) = delete;

    // --- connection (transport pass-through) ---
    virtual int SetTimeoutMode(int flag);
    virtual int CheckConnection();
    virtual int IsConnected();
    virtual int Open(int mode);
    virtual int Close();
    virtual int Suspend();
    virtual int Resume();
    virtual int Reconnect();

    // --- frames of both controllers ---
    virtual int SendReset(int board, int second);
    virtual int SetControl(int flagA, int flagB, int mode, int send);
    virtual int SendSelect(std::uint8_t value, int send);
    virtual int SendSelectPair(int which, std::uint8_t value, int send);
    virtual int SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra, int send);
    virtual int PulsePort(std::uint8_t widthCode, int port, int send);
    virtual int SendParameterBlock(int send);
    virtual int SendParameterBlockAndRead(int send);
    virtual int ReadMeasuredValue(int send);
    virtual int ReadStatus(std::uint32_t* status, int send);
    // Writes "2010"; the characters written (without the terminator).
    virtual int GetDllVersion(char* buffer, std::size_t size);
    virtual int GetVersion(std::uint16_t* mainVersion, std::uint16_t* secondVersion, int send);
    virtual int ReadSub21(int send);
    virtual int GetLastStatus();
    virtual int ReadSub17(int send);
    // Two-bit masks: bit 0 the main controller, bit 1 the second needs updating.
    virtual int CheckVersionEqual(std::uint16_t mainVersion, std::uint16_t secondVersion);
    virtual int CheckVersionOlder(std::uint16_t mainVersion, std::uint16_t secondVersion);

    // --- timer and PWM channels 0-8 ---
    // Patches the channel from the record as given (its period is used as it stands).
    virtual int SetPwmChannel(int channel, const PwmChannelRecord* record, int send);
    // Computes the period and exponent from the record's frequency, writes them back
    // into the record, then patches as SetPwmChannel does (without its port read).
    virtual int SetPwmFrequency(int channel, PwmChannelRecord* record, int send);

    // --- ports 0-33, analog inputs, interrupt inputs ---
    virtual int WritePort(int port, const PortRecord* record, int send);
    virtual int ReadPort(int port, int send);
    virtual int SetAdcChannel(int channel, const AdcChannelRecord* record, int send);
    virtual int ReadAdc(int channel, int send);
    virtual int SetInterruptInput(int input, const InterruptInputRecord* record, int send);
    virtual int ReadInterruptFlag(int input, int send);
    virtual int SendControlStop();

    // --- serial bus, serial data, motor modes ---
    // 0 for a null record or a request longer than the frame holds (nothing sent).
    virtual int I2cTransfer(std::uint32_t ignored, const I2cRecord* record, int send);
    // Copies the last serial bus reply (at most 62 bytes) and its length byte.
    virtual int GetI2cReply(std::uint8_t* destination, std::uint32_t* count);
    // 0 for more than 62 bytes (nothing sent).
    virtual int SendSerialData(const std::uint8_t* data, std::size_t length);
    // Records A and B: modes 1-3 use their second byte, mode 4 their first word.
    virtual int SetMotorMode(int mode, const std::uint32_t* recordA, const std::uint32_t* recordB, int send);

    // Puts a controller into its boot loader (selector 0 the first, 1 the second): 1 when
    // the board acknowledged the request, 0 when it did not (no port, no or a wrong
    // reply). Sent even while the link is suspended.
    int RequestFirmwareMode(int selector);

    // --- boot loader (the firmware update worker only; takes no lock) ---
    // Finds and opens the loader device: 1 open, 0 failed, 9999 not found in time.
    // A set `cancel` ends the search.
    virtual int OpenLoaderDevice(const std::atomic<bool>* cancel = nullptr);
    // Downloads the Intel HEX image to the first (0) or second (other) controller: a
    // status of loader::DownloadStatus, 7 in place of 0.
    // A set `cancel` ends it between two requests.
    virtual int DownloadFirmware(int controllerFlag, std::string_view hexText,
                                 const std::atomic<bool>* cancel = nullptr);
    // Whether the loader device is there to be opened.
    virtual bool LoaderDevicePresent();
    // Replaces the loader (by default the one over TAMSIRO_BOOTLOADER_SOCKET).
    void SetBootLoader(std::unique_ptr<CBootLoader> loader);

    // The second controller's 0x12xx firmware takes the 36-byte long frames.
    bool UsesLongFrames() const;

    // Sizes of the kept frames and replies.
    static constexpr std::size_t kMaxFrame = 64;

protected:
    // Carries one frame: 0 while suspended (nothing sent), 4 while the board is absent,
    // else the result of Transfer. Holds the lock for the whole exchange.
    int Send(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, std::size_t replyLength);
    // 0 success, -1 failure.
    int Transfer(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, std::size_t replyLength);

    static constexpr std::size_t kMaxI2cData = 60;
    static constexpr std::size_t kMaxSerialData = 62;

    void ComputePwmPeriod(int channel, PwmChannelRecord& record);
    void PatchPwm(int channel, const PwmChannelRecord& record);
    void SendPwmGroup(int channel);
    void SendPortHigh();

    static std::uint8_t Sum(const std::uint8_t* bytes, std::size_t first, std::size_t last);
    std::uint16_t KeptMeasuredValue() const;

    std::unique_ptr<ITranslate> transport_;
    mutable std::recursive_mutex lock_;

    // Frame buffers.
    std::array<std::uint8_t, 64> serialBusFrame_{};   // 'I'
    std::array<std::uint8_t, 64> serialDataFrame_{};  // 'S'
    std::array<std::uint8_t, 11> pwmLowFrame_{};      // 'P'
    std::array<std::uint8_t, 6> portLevelFrame_{};    // 'E'
    std::array<std::uint8_t, 15> controlFrame_{};     // 'C'
    std::array<std::uint8_t, 36> longFrame_{};        // '8' 0, 1, 0xFF, 17-22, long PWM and port frames
    std::array<std::uint8_t, 23> pwmHighFrame_{};     // '8' 2
    std::array<std::uint8_t, 10> portHighFrame_{};    // '8' 3
    std::array<std::uint8_t, 4> selectFrame_{};       // '8' 4
    std::array<std::uint8_t, 5> selectPairFrame_{};   // '8' 5, '8' 21
    std::array<std::uint8_t, 5> pulseFrame_{};        // '8' 6
    std::array<std::uint8_t, 6> outputValueFrame_{};  // 'O'
    std::array<std::uint8_t, 5> motorModeFrame_{};    // 'M'
    std::array<std::uint8_t, 2> resetFrame_{};        // 'R'
    std::array<std::uint8_t, 1> analogFrame_{};       // 'A'
    std::array<std::uint8_t, 1> versionFrame_{};      // 'V'
    std::array<std::uint8_t, 5> bootRequestFrame_{};  // 'W'

    // Reply buffers.
    std::array<std::uint8_t, 64> serialBusReply_{};
    std::array<std::uint8_t, 8> portLevelReply_{};
    std::array<std::uint8_t, 18> analogReply_{};
    // Doubles as the store of the last measured value ([4] low, [5] high) and the last
    // status ([11]); every 13-byte reply lands here.
    std::array<std::uint8_t, 13> statusRecord_{};
    std::array<std::uint8_t, 8> portHighReply_{};
    std::array<std::uint8_t, 6> measuredReply_{};
    std::array<std::uint8_t, 5> selectReply_{};
    std::array<std::uint8_t, 6> statusReply_{};
    std::array<std::uint8_t, 4> mainVersionReply_{};
    std::array<std::uint8_t, 6> secondVersionReply_{};

    // Versions as last read without error (a garbled reply must not switch frame variants).
    std::uint16_t mainVersion_ = 0;
    std::uint16_t secondVersion_ = 0;

    std::atomic<bool> reinitialiseOnOpen_{true};
    std::atomic<bool> suspended_{false};

    // Port number to bit index for ports 21-33; -1 where a port has none.
    std::array<int, 34> portMap_{};

private:
    void Construct();
    CBootLoader& Loader();

    std::unique_ptr<CBootLoader> loader_;

    std::shared_ptr<platform::NamedMutex> transferMutex_;
    std::shared_ptr<platform::NamedMutex> dataMutex_;
};
