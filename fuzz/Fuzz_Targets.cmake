# Every fuzz target: fuzz/<name>.cpp defines its LLVMFuzzerTestOneInput and fuzz/corpus/<name>/
# holds its saved corpus.
set(PLOTVANE_FUZZ_TARGETS
  gbx_uncompress_fuzzer
  gbx_indexed_string_fuzzer
  gbx_compress_roundtrip_fuzzer
  gbx_load_file_fuzzer
  challenge_author_fuzzer
  challenge_block_list_fuzzer
  challenge_write_block_fuzzer
  challenge_structure_fuzzer
  cli_block_listing_fuzzer
  profile_login_fuzzer)
