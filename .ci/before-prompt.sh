# Sourced by the Windows jobs. before_prompt FILE prints a demonstration run's
# output up to the key prompt in comparable form: the C runtime's text-mode
# "\r\n" -> "\r\r\n" undone, the printed address set aside (the UCRT prints %p
# as 16 upper-case digits). Fails when the prompt ("请按任意键继续" in GBK) is
# missing.
before_prompt() {
  perl -0777 -ne '
    s/\r\r\n/\r\n/g;
    s/(\xd6\xb8\xd5\xeb\xca\xc7:)(?:0x)?[0-9a-fA-F]+/${1}ADDRESS/;
    my $at = index($_, "\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8");
    exit 1 if $at < 0;
    print substr($_, 0, $at);' "$1"
}

# linux_reference DIR: what the demo and the C example print on Linux.
linux_reference() {
  cmake --preset default >/dev/null
  cmake --build --preset default --target slot_list_demo slot_list_example_c >/dev/null
  mkdir -p "$1"
  build/default/demo/slot_list_demo </dev/null >"$1/linux-demo.txt"
  before_prompt "$1/linux-demo.txt" >"$1/linux-demo.cmp"
  build/default/examples/slot_list_example_c >"$1/linux-example.txt"
}

# demo_matches WINE_RUN EXE DIR NAME: fails unless the demo under Wine prints
# what it printed on Linux; the prompt is the system's "pause", in Wine's words.
demo_matches() {
  LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$1" "$2" </dev/null >"$3/$4-demo.txt"
  before_prompt "$3/$4-demo.txt" >"$3/$4-demo.cmp"
  cmp "$3/linux-demo.cmp" "$3/$4-demo.cmp"
}
