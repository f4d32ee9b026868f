#!/bin/sh
# docs/guide.md as one self-contained HTML page, for the release archive:
# rendered by cmark-gfm (tables as on the web), each heading given the id
# that the guide's links use, and each picture embedded as a data URI.
#
#   guide-html.sh GUIDE.md OUT.html
set -eu
guide=$1 out=$2
dir=$(dirname "$guide")
title=$(sed -n 's/^# //p' "$guide" | head -n 1)

body=$(cmark-gfm -e table "$guide")
{
  cat <<HEAD
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>$title</title>
<style>
body { font-family: sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
table { border-collapse: collapse; } th, td { border: 1px solid #bbb; padding: 0.3em 0.5em; vertical-align: top; }
img { max-width: 100%; } code, pre { background: #f3f3f3; } pre { padding: 0.5em; overflow-x: auto; }
</style>
</head>
<body>
HEAD
  printf '%s\n' "$body" | awk -v dir="$dir" '
    # The id a heading gets on the web: lower case, punctuation dropped,
    # spaces as hyphens.
    function slug(text) {
      gsub(/<[^>]*>/, "", text)
      gsub(/&[a-z]+;/, "", text)
      text = tolower(text)
      gsub(/[^a-z0-9 _-]/, "", text)
      gsub(/ /, "-", text)
      return text
    }
    match($0, /^<h[1-6]>/) {
      level = substr($0, 3, 1)
      text = $0
      sub(/^<h[1-6]>/, "", text)
      sub(/<\/h[1-6]>$/, "", text)
      $0 = "<h" level " id=\"" slug(text) "\">" text "</h" level ">"
    }
    {
      line = $0
      out = ""
      while (match(line, /<img src="[^"]*\.png"/)) {
        file = substr(line, RSTART + 10, RLENGTH - 11)
        command = "base64 -w 0 \"" dir "/" file "\""
        data = ""
        if ((command | getline data) <= 0 || data == "") {
          print "guide-html.sh: cannot read " dir "/" file > "/dev/stderr"
          exit 1
        }
        close(command)
        out = out substr(line, 1, RSTART - 1) "<img src=\"data:image/png;base64," data "\""
        line = substr(line, RSTART + RLENGTH)
      }
      print out line
    }'
  printf '</body>\n</html>\n'
} >"$out.tmp"
mv "$out.tmp" "$out"
