# bash completion for keystrider-store: commands, --store files, keys of the
# store itself (read with `keystrider-store list`), value types and .reg files.

# The keys that complete the word being typed: inside an opening quote the
# backslashes stand as they are, outside quotes each is written doubled.
_keystrider_store_keys() {
    local word=$1 quote= typed parent= prefix= key path
    case $word in
        \'* | \"*) quote=${word:0:1} typed=${word:1} ;;
        *) typed=${word//\\\\/\\} ;;
    esac
    if [[ $typed == *\\* ]]; then
        parent=${typed%\\*}
        prefix="$parent\\"
    fi
    while IFS= read -r key; do
        path=$prefix$key
        [[ $path == "$typed"* ]] || continue
        if [[ -n $quote ]]; then
            printf '%s\n' "$quote$path\\"
        else
            printf '%s\n' "${path//\\/\\\\}\\\\"
        fi
    done < <(keystrider-store "${store[@]}" list "$parent" 2>/dev/null)
}

_keystrider_store() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local -a store=()
    local i=1
    if [[ ${COMP_WORDS[1]} == --store && COMP_CWORD -gt 2 ]]; then
        store=(--store "${COMP_WORDS[2]}")
        i=3
    fi
    if [[ $prev == --store ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    if ((COMP_CWORD == i)); then
        COMPREPLY=($(compgen -W 'list get set delete export import --store --help' -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[i]} position=$((COMP_CWORD - i))
    case $command:$position in
        list:1 | get:1 | set:1 | delete:1 | export:1)
            local IFS=$'\n'
            COMPREPLY=($(_keystrider_store_keys "$cur"))
            compopt -o nospace 2>/dev/null
            ;;
        set:3) COMPREPLY=($(compgen -W 'sz dword binary' -- "$cur")) ;;
        import:1) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}

complete -F _keystrider_store keystrider-store
