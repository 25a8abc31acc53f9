// vocerra-modem-sim: the voice modem of the modem tests as a program of its
// own, for tools that drive a running Vocerra from outside (the soak). It
// makes a pseudo-terminal that answers as a voice modem, links it as
// FOLDER/ttyACM0 (give that to Vocerra in VOCERRA_MODEM_PORTS), prints
// "port PATH", and then takes the telephone company's side from one
// command per line on standard input, answering each with one line:
//
//   ring                 a ring
//   cid NUMBER [NAME]    caller ID, as the modem reports it between rings
//   audio FILE           the caller's voice (the line's bytes, here mu-law),
//                        sent once the modem records
//   mute                 the caller's voice not sent yet is dropped
//   dtmf DIGITS          touch tones, one report each
//   report CODE          a DLE report (l, b, d, s, q), or 0 for NO CARRIER
//   dropdtr              Vocerra went away: on hook, command mode, queue empty
//   status               "status offhook=0|1 answers=N recording=0|1 playing=0|1
//                        sent=0|1 left=BYTES recordings=N plays=N played=BYTES"
//   quit
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "support/modem_simulator.h"

namespace {

std::string Status(const modemsim::ModemSimulator& modem) {
    std::ostringstream out;
    out << "status offhook=" << modem.OffHook() << " answers=" << modem.Answers()
        << " recording=" << modem.Recording()
        << " playing=" << modem.Playing() << " sent=" << modem.CallerAudioSent()
        << " left=" << modem.CallerAudioLeft()
        << " recordings=" << modem.Recordings() << " plays=" << modem.Plays()
        << " played=" << modem.Played().size();
    return out.str();
}

std::string Execute(modemsim::ModemSimulator& modem, const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "ring") {
        modem.Ring();
    } else if (command == "cid") {
        modemsim::CallerIdSpec caller;
        in >> caller.number;
        std::getline(in >> std::ws, caller.name);
        caller.withName = !caller.name.empty();
        modem.SendCallerId(caller);
    } else if (command == "audio") {
        std::string path;
        std::getline(in >> std::ws, path);
        std::ifstream file(path, std::ios::binary);
        if (!file) return "error cannot read " + path;
        modem.QueueCallerAudio(std::string(std::istreambuf_iterator<char>(file), {}));
    } else if (command == "mute") {
        modem.DropCallerAudio();
    } else if (command == "dtmf") {
        std::string digits;
        in >> digits;
        for (char digit : digits) modem.Dtmf(digit, modemsim::DtmfStyle::kBracketed);
    } else if (command == "report") {
        std::string code;
        in >> code;
        modem.Report(code.empty() || code == "0" ? '\0' : code[0]);
    } else if (command == "dropdtr") {
        modem.DropDtr();
    } else if (command == "status") {
        return Status(modem);
    } else {
        return "error unknown command " + command;
    }
    return "ok";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vocerra-modem-sim FOLDER\n");
        return 2;
    }
    modemsim::ModemSimulator modem(argv[1], modemsim::Family::kV253);
    std::cout << "port " << modem.Path() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "quit") break;
        if (line.empty()) continue;
        std::cout << Execute(modem, line) << std::endl;
    }
    return 0;
}
