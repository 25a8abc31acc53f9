#!/usr/bin/env bash
# Makes the prompt and default greeting WAVE files from a prompt table.
# Usage: make_prompts.sh TABLE OUTPUT-FOLDER VOICE
#   TABLE          lines "NAME say TEXT" or "NAME tones HZ:MS[@LEVEL] ..." (# starts a comment)
#   OUTPUT-FOLDER  the files go to OUTPUT-FOLDER/NAME
#   VOICE          the espeak-ng voice that speaks the text (espeak-ng --voices)
# Every file is 8 kHz mono 16-bit PCM, the best of the formats the call's
# devices take; a device that takes only another converts it once.
set -euo pipefail

table=$1
out=$2
voice=$3
rate=8000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

to_phone_format() {  # IN OUT
    sox -q "$1" -r "$rate" -c 1 -b 16 -e signed-integer "$2" gain -n -3
}

# One tone piece: HZ[+HZ]:MS[@LEVEL] into a file.
tone_piece() {  # PIECE OUT
    local piece_text=$1 outfile=$2
    local freqs=${piece_text%%:*} rest=${piece_text#*:}
    local ms=${rest%%@*} level=0.5
    [[ $rest == *@* ]] && level=${rest#*@}
    local seconds
    seconds=$(awk -v ms="$ms" 'BEGIN { printf "%.3f", ms / 1000 }')
    if [[ $freqs == 0 ]]; then
        sox -q -n -r "$rate" -c 1 -b 16 -e signed-integer "$outfile" trim 0 "$seconds"
        return
    fi
    local synth=() f
    IFS=+ read -r -a parts <<<"$freqs"
    for f in "${parts[@]}"; do synth+=(sine "$f"); done
    # Two tones at once are mixed, each at the level given.
    local vol=$level
    [[ ${#parts[@]} -gt 1 ]] && vol=$(awk -v l="$level" -v n="${#parts[@]}" 'BEGIN { printf "%.3f", l * n }')
    sox -q -n -r "$rate" -c 1 -b 16 -e signed-integer "$outfile" synth "$seconds" "${synth[@]}" \
        channels 1 vol "$vol" fade t 0.005 "$seconds" 0.005
}

make_tones() {  # OUT PIECE...
    local outfile=$1
    shift
    local pieces=() i=0 piece_text
    for piece_text in "$@"; do
        tone_piece "$piece_text" "$work/piece$i.wav"
        pieces+=("$work/piece$i.wav")
        i=$((i + 1))
    done
    if [[ ${#pieces[@]} -eq 1 ]]; then cp "${pieces[0]}" "$outfile"; else sox -q "${pieces[@]}" "$outfile"; fi
}

make_speech() {  # OUT TEXT
    espeak-ng -v "$voice" -s 150 -w "$work/speech.wav" -- "$2"
    to_phone_format "$work/speech.wav" "$1"
}

count=0
while IFS= read -r line || [[ -n $line ]]; do
    line=${line%%#*}
    read -r name kind rest <<<"$line" || true
    [[ -z ${name:-} ]] && continue
    mkdir -p "$out/$(dirname "$name")"
    target="$out/$name"
    case $kind in
        say) make_speech "$work/file.wav" "$rest" ;;
        tones) read -r -a specs <<<"$rest"; make_tones "$work/file.wav" "${specs[@]}" ;;
        *) echo "$table: unknown kind '$kind' for $name" >&2; exit 1 ;;
    esac
    mv "$work/file.wav" "$target"
    count=$((count + 1))
done <"$table"
echo "made $count prompt files in $out ($voice)"
