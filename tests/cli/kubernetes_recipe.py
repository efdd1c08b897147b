#!/usr/bin/env python3
"""The Kubernetes recipe of docs/kubernetes.md without a cluster: reads both manifests, checks
what the recipe relies on, and runs their mivaro-cli command lines for real with the node name
filled in and the shared volume a scratch folder: the check writes its document (exit 3 on a
machine without a card), and the summary reads it.

    kubernetes_recipe.py MIVARO_CLI
"""
import json
import pathlib
import re
import subprocess
import sys
import tempfile

import yaml

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs" / "kubernetes"


def container(job):
    pod = job["spec"]["template"]["spec"]
    assert pod["restartPolicy"] == "Never"
    (only,) = pod["containers"]
    claims = {v["name"]: v["persistentVolumeClaim"]["claimName"] for v in pod["volumes"]}
    return pod, only, claims


def main():
    cli = sys.argv[1]
    check = yaml.safe_load((DOCS / "mivaro-check-job.yaml").read_text(encoding="utf-8"))
    summary = yaml.safe_load((DOCS / "mivaro-summary-job.yaml").read_text(encoding="utf-8"))

    # An Indexed Job, all nodes at once, one pod per node, each with all its cards.
    assert check["kind"] == "Job" and check["spec"]["completionMode"] == "Indexed"
    assert check["spec"]["parallelism"] == check["spec"]["completions"]
    assert check["spec"]["backoffLimitPerIndex"] == 0
    pod, mivaro, claims = container(check)
    (rule,) = pod["affinity"]["podAntiAffinity"]["requiredDuringSchedulingIgnoredDuringExecution"]
    assert rule["topologyKey"] == "kubernetes.io/hostname"
    assert rule["labelSelector"]["matchLabels"].items() <= check["spec"]["template"]["metadata"]["labels"].items()
    assert mivaro["resources"]["limits"]["nvidia.com/gpu"] >= 1
    (mount,) = mivaro["volumeMounts"]
    env = {e["name"]: e["valueFrom"]["fieldRef"]["fieldPath"] for e in mivaro["env"]}
    assert env == {"NODE_NAME": "spec.nodeName"}

    # The summary reads the folder the pods write to, on the same claim.
    _, summarizer, summary_claims = container(summary)
    (summary_mount,) = summarizer["volumeMounts"]
    assert summary_claims[summary_mount["name"]] == claims[mount["name"]]

    with tempfile.TemporaryDirectory() as volume:
        documents = pathlib.Path(volume) / mount["subPath"]
        documents.mkdir()  # the kubelet makes a subPath folder on first use

        def local(argument, mount_path, base):
            argument = argument.replace("$(NODE_NAME)", "gpu-node-3")
            assert "$(" not in argument, argument
            return re.sub("^" + re.escape(mount_path), str(base), argument)

        run = [cli] + [local(a, mount["mountPath"], documents) for a in mivaro["args"]]
        assert mivaro["command"] == ["mivaro-cli"]
        status = subprocess.run(run, capture_output=True).returncode
        assert status == 3, f"{run} exited {status}"
        document = json.loads((documents / "gpu-node-3.json").read_text(encoding="utf-8"))
        assert document["options"]["target"] == "all" and document["options"]["concurrent"] is True
        assert document["outcome"]["status"] == "noCompatibleGpu"

        run = [cli] + [local(a, summary_mount["mountPath"], volume) for a in summarizer["args"]]
        assert summarizer["command"] == ["mivaro-cli"] and summarizer["args"][0] == "summary"
        result = subprocess.run(run, capture_output=True, text=True)
        assert result.returncode == 3, f"{run} exited {result.returncode}: {result.stderr}"
        assert result.stdout.startswith("Documents: 1,"), result.stdout
        written = json.loads((pathlib.Path(volume) / "summary.json").read_text(encoding="utf-8"))
        assert written["documents"] == 1 and written["exitCode"] == 3
    print("PASSED: the manifests hold together and their mivaro-cli command lines run")


if __name__ == "__main__":
    main()
