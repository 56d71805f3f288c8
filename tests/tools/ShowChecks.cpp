#include "ShowChecks.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>

#include <jpeglib.h>
#include <lame/lame.h>

std::string ReadWholeFile(const std::filesystem::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        throw std::runtime_error("cannot read " + Path.string());
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

std::optional<std::vector<std::string>> SplitCrLfLines(const std::string& Text, std::string& Why) {
    std::vector<std::string> Lines;
    std::string Line;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        char C = Text[I];
        if (C == 26) {
            Why = "byte 26 at " + std::to_string(I);
            return std::nullopt;
        }
        if (C == '\r') {
            if (I + 1 >= Text.size() || Text[I + 1] != '\n') {
                Why = "CR without LF at " + std::to_string(I);
                return std::nullopt;
            }
            Lines.push_back(Line);
            Line.clear();
            ++I;
        } else if (C == '\n') {
            Why = "LF without CR at " + std::to_string(I);
            return std::nullopt;
        } else {
            Line += C;
        }
    }
    if (!Line.empty()) {
        Why = "last line has no line end";
        return std::nullopt;
    }
    return Lines;
}

namespace {
struct JpegError {
    jpeg_error_mgr Public;
    std::jmp_buf Return;
    char Message[JMSG_LENGTH_MAX];
};
void OnJpegError(j_common_ptr Info) {
    auto* E = reinterpret_cast<JpegError*>(Info->err);
    (*Info->err->format_message)(Info, E->Message);
    std::longjmp(E->Return, 1);
}
} // namespace

std::optional<DecodedJpeg> DecodeJpeg(const std::string& Bytes, std::string& Why) {
    jpeg_decompress_struct Info{};
    JpegError Err{};
    DecodedJpeg Out;
    Info.err = jpeg_std_error(&Err.Public);
    Err.Public.error_exit = OnJpegError;
    if (setjmp(Err.Return)) {
        jpeg_destroy_decompress(&Info);
        Why = Err.Message;
        return std::nullopt;
    }
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size());
    jpeg_read_header(&Info, TRUE);
    jpeg_start_decompress(&Info);
    Out.Width = static_cast<int>(Info.output_width);
    Out.Height = static_cast<int>(Info.output_height);
    Out.Components = Info.output_components;
    Out.Pixels.resize(static_cast<std::size_t>(Out.Width) * Out.Height * Out.Components);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW Row = &Out.Pixels[static_cast<std::size_t>(Info.output_scanline) * Out.Width *
                                   Out.Components];
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    if (Err.Public.num_warnings > 0) {
        Why = "libjpeg warned while decoding";
        return std::nullopt;
    }
    return Out;
}

Mp3Walk WalkMp3Frames(const std::string& Bytes) {
    static const int Bitrates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
    static const int Rates[4] = {44100, 48000, 32000, 0};
    Mp3Walk W;
    std::size_t At = 0;
    while (At < Bytes.size()) {
        if (At + 4 > Bytes.size()) {
            W.Why = "partial header at byte " + std::to_string(At);
            return W;
        }
        auto B = [&](std::size_t I) { return static_cast<unsigned char>(Bytes[At + I]); };
        // Sync, MPEG-1, Layer III.
        if (B(0) != 0xFF || (B(1) & 0xFE) != 0xFA) {
            W.Why = "no MPEG-1 Layer III frame header at byte " + std::to_string(At);
            return W;
        }
        int Kbps = Bitrates[B(2) >> 4];
        int Rate = Rates[(B(2) >> 2) & 3];
        int Padding = (B(2) >> 1) & 1;
        int Channels = (B(3) >> 6) == 3 ? 1 : 2;
        if (Kbps == 0 || Rate == 0) {
            W.Why = "bad bitrate or sample rate at byte " + std::to_string(At);
            return W;
        }
        if (W.Frames == 0) {
            W.SampleRate = Rate;
            W.BitrateKbps = Kbps;
            W.Channels = Channels;
        } else if (Rate != W.SampleRate || Channels != W.Channels) {
            W.Why = "stream changes format at byte " + std::to_string(At);
            return W;
        }
        std::size_t Length = 144000u * Kbps / Rate + Padding;
        if (At + Length > Bytes.size()) {
            W.Why = "last frame cut short";
            return W;
        }
        At += Length;
        ++W.Frames;
    }
    W.Ok = W.Frames > 0;
    if (!W.Ok)
        W.Why = "no frames";
    return W;
}

Mp3Decode DecodeMp3(const std::string& Bytes) {
    Mp3Decode D;
    hip_t Hip = hip_decode_init();
    if (!Hip) {
        D.Why = "hip_decode_init failed";
        return D;
    }
    std::vector<short> L(1152 * 4), R(1152 * 4);
    double Sum = 0;
    long Count = 0;
    auto Take = [&](int N, int Channels) {
        for (int I = 0; I < N; ++I) {
            double A = L[I] / 32768.0, B = R[I] / 32768.0;
            Sum += A * A + (Channels == 2 ? B * B : A * A);
            D.Peak = std::max({D.Peak, std::abs(A), std::abs(B)});
        }
        D.SamplesPerChannel += N;
        Count += 2L * N;
    };
    mp3data_struct Info{};
    std::vector<unsigned char> In(Bytes.begin(), Bytes.end());
    const std::size_t Chunk = 4096;
    for (std::size_t At = 0; At < In.size(); At += Chunk) {
        std::size_t Len = std::min(Chunk, In.size() - At);
        int N = hip_decode1_headers(Hip, &In[At], Len, L.data(), R.data(), &Info);
        while (N > 0) {
            Take(N, Info.stereo);
            N = hip_decode1_headers(Hip, &In[At], 0, L.data(), R.data(), &Info);
        }
        if (N < 0) {
            D.Why = "decoder error near byte " + std::to_string(At);
            hip_decode_exit(Hip);
            return D;
        }
    }
    // Frames the decoder still holds once all input is in.
    for (int N; !In.empty() &&
                (N = hip_decode1_headers(Hip, In.data(), 0, L.data(), R.data(), &Info)) > 0;)
        Take(N, Info.stereo);
    hip_decode_exit(Hip);
    D.Channels = Info.stereo;
    D.Rms = Count ? std::sqrt(Sum / Count) : 0.0;
    D.Ok = D.SamplesPerChannel > 0;
    if (!D.Ok)
        D.Why = "no samples decoded";
    return D;
}

std::optional<std::vector<SceneEntry>> ParseScene(const std::vector<std::string>& Lines,
                                                  std::string& Why) {
    std::vector<SceneEntry> Out;
    for (std::size_t I = 0; I < Lines.size(); ++I) {
        const std::string& L = Lines[I];
        std::size_t Space = L.find(' ');
        auto Digits = [](const std::string& S) {
            return !S.empty() && S.size() < 10 &&
                   S.find_first_not_of("0123456789") == std::string::npos;
        };
        std::string A = Space == std::string::npos ? L : L.substr(0, Space);
        std::string B = Space == std::string::npos ? "" : L.substr(Space + 1);
        if (!Digits(A) || !Digits(B)) {
            Why = "line " + std::to_string(I + 1) + " is not two numbers: '" + L + "'";
            return std::nullopt;
        }
        Out.push_back({std::stoi(A), std::stoi(B)});
    }
    return Out;
}

ClockRun RunClock(const std::vector<SceneEntry>& Entries) {
    // The table's length follows the last line; later lines overwrite.
    struct Slot {
        bool Has = false;
        int Start = 0;
    };
    std::vector<Slot> Table;
    for (const SceneEntry& E : Entries) {
        Table.resize(static_cast<std::size_t>(E.Slot) + 1);
        Table[E.Slot] = {true, E.Frame - 1};
    }
    ClockRun Run;
    int TickCount = 0, Base = 0, Current = 0;
    for (int Tick = 1; Tick <= 10000 && !Run.Closed; ++Tick) {
        ++TickCount;
        if (TickCount % 10 == 0 && ++Current == Base + 3)
            Current = Base;
        int SlotNo = TickCount / 10;
        if (SlotNo >= static_cast<int>(Table.size())) {
            Run.Why = "slot " + std::to_string(SlotNo) + " is past the scene table";
            return Run;
        }
        if (Table[SlotNo].Has)
            Current = Base = Table[SlotNo].Start;
        if (TickCount / 10 == 345)
            TickCount = 3700;
        if (TickCount / 10 == 382) {
            if (Run.LoopCount == 4) {
                TickCount = 3500;
            } else {
                TickCount = 3700;
                ++Run.LoopCount;
            }
        }
        Run.Closed = TickCount == 3630;
        Run.Ticks.push_back({Tick, SlotNo, Current});
    }
    return Run;
}

ProgramResult RunProgram(const std::string& Exe, const std::vector<std::string>& Args) {
    std::filesystem::path Folder = MakeTempFolder();
    std::string Command = "'" + Exe + "'";
    for (const std::string& A : Args)
        Command += " '" + A + "'";
    Command += " >'" + (Folder / "out").string() + "' 2>'" + (Folder / "err").string() + "'";
    int Status = std::system(Command.c_str());
    ProgramResult R;
    R.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    R.Out = ReadWholeFile(Folder / "out");
    R.Err = ReadWholeFile(Folder / "err");
    std::filesystem::remove_all(Folder);
    return R;
}

std::filesystem::path MakeTempFolder() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "vazu-tools-XXXXXX").string();
    if (!mkdtemp(Pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return Pattern;
}
