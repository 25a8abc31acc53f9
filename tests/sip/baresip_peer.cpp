#include "sip/baresip_peer.h"

#include <sys/stat.h>

#include <fstream>
#include <vector>

namespace siptest {

std::unique_ptr<PeerProcess> StartBaresip(const BaresipCall& call, std::uint16_t* sipPort) {
    *sipPort = FreePort();
    ::mkdir(call.folder.c_str(), 0700);
    {
        std::ofstream config(call.folder + "/config");
        config << "poll_method epoll\n"
               << "sip_listen 127.0.0.1:" << *sipPort << "\n"
               << "net_interface 127.0.0.1\n"
               << "audio_source aufile," << call.voiceWave << "\n"
               << "audio_player aubridge,nil\n"
               << "audio_alert aubridge,nil\n"
               << "ausrc_srate 8000\nauplay_srate 8000\nausrc_channels 1\nauplay_channels 1\n"
               << "rtp_tos 0\naudio_buffer 20-160\n"
               << "module_path /usr/lib/baresip/modules\n"
               << "module g711.so\nmodule aufile.so\nmodule aubridge.so\n";
        if (!call.heardWave.empty()) config << "module sndfile.so\nsnd_path " << call.heardWave << "\n";
        config << "module_app account.so\nmodule_app menu.so\n";
    }
    {
        std::ofstream accounts(call.folder + "/accounts");
        accounts << "<sip:caller@127.0.0.1:" << *sipPort << ">;regint=0;audio_codecs=PCMU"
                 << (call.autoAnswer ? ";answermode=auto" : "") << "\n";
    }
    std::vector<std::string> argv = {"baresip", "-f", call.folder, "-t", "120"};
    if (!call.dialUri.empty()) {
        argv.push_back("-e");
        argv.push_back("/dial " + call.dialUri);
    }
    return std::make_unique<PeerProcess>(argv, call.folder, call.folder + "/baresip.log");
}

}  // namespace siptest
