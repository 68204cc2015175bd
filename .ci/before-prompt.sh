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
